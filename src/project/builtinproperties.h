#pragma once

class MacroExpander;
class PropertyRegistry;

// The built-in definitions, registered in this order when the project system starts: the
// project properties with the build macros, then the solution, project, folder and file
// properties, then one MacroPropertyClass per described system macro of `systemMacros`.
void registerBuiltinProperties(PropertyRegistry &registry, const MacroExpander *systemMacros);

void registerProjectProperties(PropertyRegistry &registry);
void registerNodeProperties(PropertyRegistry &registry);
void registerSystemMacroProperties(PropertyRegistry &registry, const MacroExpander &systemMacros);
