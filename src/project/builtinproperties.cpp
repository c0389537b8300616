#include "project/builtinproperties.h"

#include "project/macroexpander.h"
#include "project/macropropertyclass.h"
#include "project/propertyregistry.h"

#include <memory>
#include <span>

namespace {

using T = PropertyType;
using Choices = std::span<const char *const>;

// Help texts end with this sentence when the value is expanded with the node's macros.
#define EXPANDED " This property will have macro expansion applied to it."

constexpr unsigned kC = PropertyRegistry::actionBit(PropertyRegistry::CompileC);
constexpr unsigned kCpp = PropertyRegistry::actionBit(PropertyRegistry::CompileCpp);
constexpr unsigned kAsm = PropertyRegistry::actionBit(PropertyRegistry::Assemble);
constexpr unsigned kLink = PropertyRegistry::actionBit(PropertyRegistry::Link);
constexpr unsigned kArchive = PropertyRegistry::actionBit(PropertyRegistry::Archive);
constexpr unsigned kCompile = kC | kCpp;
constexpr unsigned kSources = kC | kCpp | kAsm;

struct Row {
    const char *name;
    PropertyType type;
    const char *defaultValue;
    int order;
    const char *shortText;
    const char *help;
    Choices choices = {};
    const char *filter = "";
    unsigned actions = 0;
    bool readOnly = false;
    std::uint32_t minimum = 0; // range of an IntegerRange
    std::uint32_t maximum = 0;
};

struct Section {
    const char *page;
    const char *group;
    Choices::size_type count;
    const Row *rows;
    const char *projectType = "";
};

template <std::size_t N>
constexpr Section section(const char *page, const char *group, const Row (&rows)[N],
                          const char *projectType = "") {
    return {page, group, N, rows, projectType};
}

constexpr const char *kIntSizes[] = {"int", "long", "long long"};
constexpr const char *kFloatSizes[] = {"Float", "Double"};
constexpr const char *kOutputFormats[] = {"None",
                                          "Binary",
                                          "Intel Hex",
                                          "Hex Listing",
                                          "TI-TXT",
                                          "Motorola S-Record",
                                          "Extended Tektronix"};
constexpr const char *kLoadFileTypes[] = {"Detect",
                                          "Binary",
                                          "Intel Hex",
                                          "Hex Listing",
                                          "TI-TXT",
                                          "Motorola S-Record",
                                          "Extended Tektronix"};
constexpr const char *kConnections[] = {"Simulator", "Zentip", "GDB Server"};
constexpr const char *kBreakpointOptions[] = {"Always", "Only With No Breakpoints Set", "Never",
                                              "On Entry"};
constexpr const char *kProjectTypes[] = {"Executable",
                                         "Library",
                                         "Object file",
                                         "Staging",
                                         "Combining",
                                         "Externally Built Executable",
                                         "Externally Built Library",
                                         "Externally Built Object file"};
// "Default", the value of a file without one, means "from the extension" and is no choice.
constexpr const char *kFileTypes[] = {
    "Assembly",       "Section Placement", "Memory Map",   "Register Definitions",
    "Threads Script", "Target Script",     "Reset Script", "Linker Script"};
constexpr const char *kCodecs[] = {"Default", "UTF-8",    "UTF-16",   "UTF-16LE",   "UTF-16BE",
                                   "UTF-32",  "UTF-32LE", "UTF-32BE", "ISO-8859-1", "System"};
constexpr const char *kOpenWith[] = {"Default",     "Text Editor", "Binary Editor",
                                     "Web Browser", "HTML Viewer", "Run File"};
constexpr const char *kDefaultYesNo[] = {"Default", "Yes", "No"};
constexpr const char *kReadOnlyChoices[] = {"Yes", "No", "Don't"};
constexpr const char *kPreBuildControl[] = {"Always Run", "Run When Build Required"};
constexpr const char *kPostBuildControl[] = {"Always Run", "Run When Build Has Occurred"};

// clang-format off
// ---- Project properties ----------------------------------------------------------------

constexpr Row kLibraryOptions[] = {
    {"link_include_standard_libraries", T::Boolean, "Yes", -1001, "Include Standard Libraries",
     "Link the standard libraries of the toolchain.", {}, "", kLink},
    {"link_standard_libraries_directory", T::DirPath, "$(TovanLibDir:$(TovanDir)/lib)", -100,
     "Standard Libraries Directory",
     "The directory the standard libraries are linked from." EXPANDED, {}, "", kLink},
    {"link_use_multi_threaded_libraries", T::Boolean, "", 0,
     "Exclude Default Library Helper Functions",
     "Leave out the library's default helper functions so that the application supplies its own.",
     {}, "", kLink},
};

constexpr Row kLinkerOptions[] = {
    {"link_symbol_definitions", T::StringList, "", -220, "Link Symbol Definitions",
     "Symbols defined for the linker, each <b>name=value</b>.", {}, "", kLink},
    {"linker_keep_symbols", T::StringList, "", -200, "Keep Symbols",
     "Symbols the linker keeps even when nothing refers to them.", {}, "", kLink},
    {"linker_additional_files", T::StringList, "", -230, "Additional Input Files",
     "Further object files and libraries to link." EXPANDED, {}, "", kLink},
    {"linker_additional_options", T::StringList, "", -101, "Additional Linker Options",
     "Options added to the linker's command line." EXPANDED, {}, "", kLink},
    {"linker_additional_options_from_file", T::ProjFileName, "", -100,
     "Additional Linker Options From File",
     "A file whose contents are added to the linker's command line." EXPANDED, {}, "", kLink},
    {"linker_memory_map_file", T::ProjFileName, "", -321, "Memory Map File",
     "The memory map the linker script is generated from." EXPANDED, {}, "XML (*.xml)", kLink},
    {"linker_memory_map_macros", T::StringList, "", -320, "Memory Map Macros",
     "Macros for the memory map file, each <b>name=value</b>." EXPANDED, {}, "", kLink},
    {"linker_section_placement_file", T::ProjFileName, "$(TovanDir)/targets/section_placement.xml",
     -291, "Section Placement File",
     "Where the sections of the program are placed in memory." EXPANDED, {}, "XML (*.xml)", kLink},
    {"linker_section_placement_macros", T::StringList, "", -290, "Section Placement Macros",
     "Macros for the section placement file, each <b>name=value</b>." EXPANDED, {}, "", kLink},
    {"linker_section_placements_segments", T::String, "", -300, "Section Placement Segments",
     "Memory segments used when no memory map file is given, each \"NAME RWX HEXSTART HEXSIZE\", "
     "separated by \";\".", {}, "", kLink},
    {"link_use_linker_script_file", T::Boolean, "", -331, "Use Manual Linker Script",
     "Link with the linker script file below instead of a generated one.", {}, "", kLink},
    {"link_linker_script_file", T::ProjFileName, "", -330, "Linker Script File",
     "The linker script used when a manual linker script is selected." EXPANDED, {}, "LD (*.ld)",
     kLink},
    {"link_dependent_projects", T::Boolean, "Yes", -240, "Link In Dependent Projects",
     "Link the outputs of the projects this project depends on.", {}, "", kLink},
    {"linker_output_format", T::Enumeration, "None", -251, "Additional Output Format",
     "A load file written beside the linked program.", kOutputFormats, "", kLink},
    {"linker_map_file", T::Boolean, "Yes", -271, "Generate Map File",
     "Write a map file when linking.", {}, "", kLink},
    {"linker_map_file_name", T::FileName, "", -130, "Map File Name",
     "The name of the map file." EXPANDED, {}, "", kLink},
};

constexpr Row kPrintfScanfOptions[] = {
    {"linker_printf_fmt_level", T::Enumeration, "int", 0, "Printf Integer Support",
     "The largest integer type printf formats.", kIntSizes, "", kLink},
    {"linker_scanf_fmt_level", T::Enumeration, "int", 0, "Scanf Integer Support",
     "The largest integer type scanf reads.", kIntSizes, "", kLink},
    {"linker_printf_width_precision_supported", T::Boolean, "", 0, "Printf Width/Precision Support",
     "Printf honours field widths and precisions.", {}, "", kLink},
    {"linker_printf_fp_enabled", T::Enumeration, "Float", 0, "Printf Floating Point Support",
     "The floating-point type printf formats.", kFloatSizes, "", kLink},
    {"linker_printf_wchar_enabled", T::Boolean, "", 0, "Wide Characters Supported",
     "Printf formats wide characters.", {}, "", kLink},
    {"linker_scanf_fp_enabled", T::Boolean, "", 0, "Scanf Floating Point Support",
     "Scanf reads floating-point numbers.", {}, "", kLink},
    {"linker_scanf_character_group_matching_enabled", T::Boolean, "", 0, "Scanf Classes Supported",
     "Scanf matches character groups such as %[a-z].", {}, "", kLink},
};

constexpr Row kLinkerBuildSteps[] = {
    {"linker_pre_build_command", T::CommandLine, "", 0, "Pre-Link Command",
     "A command run before linking." EXPANDED, {}, "", kLink},
    {"linker_pre_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Pre-Link Command Working Directory", "The directory the pre-link command runs in." EXPANDED,
     {}, "", kLink},
    {"linker_patch_build_command", T::CommandLine, "", 0, "Link Patch Command",
     "A command run on the linked program before the post-link command." EXPANDED, {}, "", kLink},
    {"linker_patch_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Link Patch Working Directory", "The directory the patch command runs in." EXPANDED, {}, "",
     kLink},
    {"linker_post_build_command", T::CommandLine, "", 0, "Post-Link Command",
     "A command run after linking." EXPANDED, {}, "", kLink},
    {"linker_post_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Post-Link Command Working Directory", "The directory the post-link command runs in." EXPANDED,
     {}, "", kLink},
    {"linker_post_build_command_output_file", T::FileName, "", 0, "Post-Link Output File",
     "The file the post-link command writes." EXPANDED, {}, "", kLink},
    {"archive_post_build_command", T::CommandLine, "", 0, "Post-Archive Command",
     "A command run after archiving." EXPANDED, {}, "", kArchive},
    {"archive_post_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Post-Archive Command Working Directory",
     "The directory the post-archive command runs in." EXPANDED, {}, "", kArchive},
};

constexpr Row kPreprocessorOptions[] = {
    {"c_undefine_all_preprocessor_definitions", T::Boolean, "", 0,
     "Undefine All Preprocessor Definitions", "Start without the compiler's predefined macros.", {},
     "", kSources},
    {"c_preprocessor_definitions", T::StringList, "", 0, "Preprocessor Definitions",
     "Macros defined for the preprocessor, each <b>name</b> or <b>name=value</b>." EXPANDED, {}, "",
     kSources},
    {"c_preprocessor_undefinitions", T::StringList, "", 0, "Preprocessor Undefinitions",
     "Macros undefined for the preprocessor." EXPANDED, {}, "", kSources},
    {"c_ignore_includes", T::Boolean, "", 0, "Ignore Includes",
     "Leave out the system include directories.", {}, "", kSources},
    {"c_system_include_directories", T::DirPathList, "$(TovanIncDir:$(TovanDir)/include)", 0,
     "System Include Directories", "Directories searched for #include &lt;file&gt;." EXPANDED, {},
     "", kSources},
    {"c_user_include_directories", T::DirPathList, "", 0, "User Include Directories",
     "Directories searched for #include \"file\"." EXPANDED, {}, "", kSources},
};

constexpr Row kCompilerOptions[] = {
    {"c_enforce_ansi_checking", T::Boolean, "", -119, "Enforce ANSI Checking",
     "Reject what the language standard does not allow.", {}, "", kCompile},
    {"c_additional_options", T::StringList, "", -105, "Additional C/C++ Compiler Options",
     "Options added to the command line of C and C++ compiles." EXPANDED, {}, "", kCompile},
    {"c_additional_options_from_file", T::ProjFileName, "", -104,
     "Additional C/C++ Compiler Options From File",
     "A file whose contents are added to C and C++ compiles." EXPANDED, {}, "", kCompile},
    {"c_only_additional_options", T::StringList, "", -103, "Additional C Compiler Only Options",
     "Options added to C compiles only." EXPANDED, {}, "", kC},
    {"c_only_additional_options_from_file", T::ProjFileName, "", -102,
     "Additional C Compiler Only Options From File",
     "A file whose contents are added to C compiles only." EXPANDED, {}, "", kC},
    {"cpp_only_additional_options", T::StringList, "", -101, "Additional C++ Compiler Only Options",
     "Options added to C++ compiles only." EXPANDED, {}, "", kCpp},
    {"cpp_only_additional_options_from_file", T::ProjFileName, "", -100,
     "Additional C++ Compiler Only Options From File",
     "A file whose contents are added to C++ compiles only." EXPANDED, {}, "", kCpp},
    {"c_files_are_cpp", T::Boolean, "", 0, "Compile C Files As C++",
     "Compile files with the .c extension as C++.", {}, "", kCompile},
    {"c_additional_options_backup", T::String, "", 0, "Additional C/C++ Options Backup",
     "The additional C/C++ options as they were before the generic options file rewrote them.", {},
     "", 0, true},
    {"c_only_additional_options_backup", T::String, "", 0, "Additional C Options Backup",
     "The additional C options as they were before the generic options file rewrote them.", {}, "",
     0, true},
    {"cpp_only_additional_options_backup", T::String, "", 0, "Additional C++ Options Backup",
     "The additional C++ options as they were before the generic options file rewrote them.", {},
     "", 0, true},
};

constexpr Row kCodeGenerationOptions[] = {
    {"cpp_enable_exceptions", T::Boolean, "", 0, "Enable Exception Support",
     "Compile C++ with exception handling.", {}, "", kCpp},
    {"cpp_enable_rtti", T::Boolean, "", 0, "Enable RTTI Support",
     "Compile C++ with run-time type information.", {}, "", kCpp},
    {"asm_generate_listing_file", T::Boolean, "", 0, "Generate Listing File",
     "Write an assembler listing beside each object file.", {}, "", kSources},
};

constexpr Row kAssemblerOptions[] = {
    {"asm_additional_options", T::StringList, "", 0, "Additional Assembler Options",
     "Options added to the assembler's command line." EXPANDED, {}, "", kAsm},
    {"asm_additional_options_from_file", T::ProjFileName, "", 0,
     "Additional Assembler Options From File",
     "A file whose contents are added to the assembler's command line." EXPANDED, {}, "", kAsm},
    {"asm_additional_options_backup", T::String, "", 0, "Additional Assembler Options Backup",
     "The additional assembler options as they were before the generic options file rewrote them.",
     {}, "", 0, true},
};

constexpr Row kSectionOptions[] = {
    {"default_code_section", T::String, "", 0, "Default Code Section Name",
     "The section code is placed in when the source names none.", {}, "", kCompile},
    {"default_data_section", T::String, "", 0, "Default Data Section Name",
     "The section initialised data is placed in.", {}, "", kCompile},
    {"default_zeroed_section", T::String, "", 0, "Default Zeroed Section Name",
     "The section zero-initialised data is placed in.", {}, "", kCompile},
    {"default_const_section", T::String, "", 0, "Default Const Section Name",
     "The section read-only data is placed in.", {}, "", kCompile},
    {"default_vector_section", T::String, "", 0, "Default Vector Section Name",
     "The section interrupt vectors are placed in.", {}, "", kCompile},
    {"default_isr_section", T::String, "", 0, "Default ISR Section Name",
     "The section interrupt service routines are placed in.", {}, "", kCompile},
};

constexpr Row kCompileBuildSteps[] = {
    {"compile_pre_build_command", T::CommandLine, "", 0, "Pre-Compile Command",
     "A command run before each compile." EXPANDED, {}, "", kSources},
    {"compile_pre_build_command_output_file_name", T::FileName, "", 0, "Pre-Compile Output File",
     "The file the pre-compile command writes." EXPANDED, {}, "", kSources},
    {"compile_pre_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Pre-Compile Working Directory", "The directory the pre-compile command runs in." EXPANDED, {},
     "", kSources},
    {"compile_post_build_command", T::CommandLine, "", 0, "Post-Compile Command",
     "A command run after each compile." EXPANDED, {}, "", kSources},
    {"compile_post_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Post-Compile Working Directory", "The directory the post-compile command runs in." EXPANDED,
     {}, "", kSources},
};

constexpr Row kCodeAnalyzerOptions[] = {
    {"analyze_after_compile", T::Boolean, "", 0, "Analyze After Compile",
     "Run the code analyzer on each file after it compiles.", {}, "", kCompile},
    {"clang_tidy_checks_c", T::StringList, "clang-analyzer-*;-clang-analyzer-cplusplus*", 0,
     "Checks For C Files", "The analyzer checks run on C files.", {}, "", kC},
    {"clang_tidy_checks_cpp", T::StringList, "clang-analyzer-*", 0, "Checks For C++ Files",
     "The analyzer checks run on C++ files.", {}, "", kCpp},
    {"analyze_command", T::CommandLine, "", 0, "Analyze Command",
     "The command that analyzes one file." EXPANDED, {}, "", kCompile},
    {"analyze_command_c_options", T::StringList, "", 0, "Analyze Command C Options",
     "Options of the analyze command for C files." EXPANDED, {}, "", kC},
    {"analyze_command_cpp_options", T::StringList, "", 0, "Analyze Command C++ Options",
     "Options of the analyze command for C++ files." EXPANDED, {}, "", kCpp},
};

constexpr Row kExternalBuildOptions[] = {
    {"external_build_command", T::CommandLine, "", 0, "Build Command",
     "The command that builds an externally built project." EXPANDED},
    {"external_clean_command", T::CommandLine, "", 0, "Clean Command",
     "The command that cleans an externally built project." EXPANDED},
    {"external_c_compile_command", T::CommandLine, "", 0, "Compile Command",
     "The command that compiles a C file." EXPANDED, {}, "", kC},
    {"external_cpp_compile_command", T::CommandLine, "", 0, "C++ Compile Command",
     "The command that compiles a C++ file." EXPANDED, {}, "", kCpp},
    {"external_assemble_command", T::CommandLine, "", 0, "Assemble Command",
     "The command that assembles a file." EXPANDED, {}, "", kAsm},
    {"external_link_command", T::CommandLine, "", 0, "Link Command",
     "The command that links a program." EXPANDED, {}, "", kLink},
    {"external_cpp_link_command", T::CommandLine, "", 0, "C++ Link Command",
     "The command that links a program with C++ objects." EXPANDED, {}, "", kLink},
    {"external_archive_command", T::CommandLine, "", 0, "Archive Command",
     "The command that archives a library." EXPANDED, {}, "", kArchive},
    {"external_objects_file_name", T::FileName, "", 0, "Objects File Name",
     "A file listing the objects to link, for commands that read them from a file." EXPANDED, {},
     "", kLink | kArchive},
};

constexpr Row kUnityBuildOptions[] = {
    {"unity_build_file_name", T::FileName, "", 0, "Unity Build File Name",
     "The file that includes every source of the folder, compiled instead of them." EXPANDED},
    {"unity_build_exclude_filter", T::StringList, "", 0, "Unity Build Exclude Filter",
     "Wildcards of files left out of the unity build."},
};

constexpr Row kProjectBuildOptions[] = {
    {"build_dependency_file_name", T::FileName, "", -130, "Dependency File Name",
     "The file the compiler writes the dependencies of an object to." EXPANDED, {}, "", kSources},
    {"build_generic_options_file_name", T::ProjFileName, "", 0, "Generic Options File",
     "A file of option definitions that rewrites the additional options." EXPANDED, {},
     "XML (*.xml)"},
    {"build_remove_unused_symbols", T::Boolean, "Yes", -110, "Remove Unused Symbols",
     "Drop code and data nothing refers to.", {}, "", kCompile | kLink},
    {"build_compiler_launcher", T::CommandLine, "", -105, "Compiler Launcher",
     "A command put before each compile and assemble command, such as <b>ccache</b>, "
     "<b>distcc</b> or <b>icecc</b>; words are separated by blanks and grouped by double "
     "quotes. It is left out of exported compile commands." EXPANDED, {}, "", kSources},
};

constexpr Row kProjectSolutionOptions[] = {
    {"properties_filter", T::StringList, "", 0, "Properties Filter",
     "Wildcards of the property names shown in property views."},
};

constexpr Row kLoaderOptions[] = {
    {"external_build_file_name", T::ProjFileName, "", -100, "Load File",
     "The file loaded into the target." EXPANDED},
    {"external_load_address", T::IntegerHex, "", -90, "Load Address",
     "Where a load file without addresses is loaded."},
    {"external_load_file_type", T::Enumeration, "Detect", -95, "Load File Type",
     "The format of the load file; Detect tells it from the contents.", kLoadFileTypes},
    {"external_start_address", T::IntegerHex, "", 0, "Start Address",
     "Where the program starts when the load file gives no entry point."},
    {"external_debug_symbols_file_name", T::ProjFileName, "", 0, "Debug Symbols File",
     "The file the debugger reads symbols from." EXPANDED},
    {"external_debug_symbols_load_address", T::IntegerHex, "", 0, "Debug Symbols Load Address",
     "The address the debug symbols are relocated to."},
    {"debug_additional_load_file", T::ProjFileName, "", 0, "Additional Load File",
     "A further file loaded with the program." EXPANDED},
    {"debug_additional_load_file_address", T::IntegerHex, "", 0, "Additional Load File Address",
     "Where a further load file without addresses is loaded."},
    {"debug_additional_load_file_type", T::Enumeration, "Detect", 0, "Additional Load File Type",
     "The format of the further load file.", kLoadFileTypes},
    {"debug_load_additional_projects", T::StringList, "", 0, "Load Additional Projects",
     "Projects whose outputs are loaded with this one."},
};

constexpr Row kDebuggerOptions[] = {
    {"debug_target_connection", T::Enumeration, "Simulator", -100, "Target Connection",
     "How the debugger reaches the target.", kConnections},
    {"debug_working_directory", T::DirPath, "$(ProjectDir)", -20, "Working Directory",
     "The directory the program runs in under the simulator." EXPANDED},
    {"debug_command_arguments", T::String, "$(ProjectName)$(EXE)", -10, "Command Arguments",
     "The arguments the program receives." EXPANDED},
    {"debug_start_from_entry_point_symbol", T::Boolean, "Yes", -70, "Start From Entry Point Symbol",
     "Start the program at the entry point symbol."},
    {"debug_entry_point_symbol", T::String, "", 0, "Entry Point Symbol",
     "The symbol the program starts from; empty for the load file's entry point."},
    {"debug_startup_completion_point", T::String, "main", -80, "Startup Completion Point",
     "The point where start-up code has finished and breakpoints take effect."},
    {"debug_dependent_projects", T::Boolean, "", 0, "Debug Dependent Projects",
     "Load the outputs of the projects this project depends on."},
    {"debug_additional_configurations", T::StringList, "", 0, "Additional Configurations",
     "Further configurations loaded with the debugged one."},
    {"debug_project_name", T::String, "$(ProjectName)_$(Configuration)", 0, "Project Name",
     "The name the debug session is kept under." EXPANDED},
    {"debug_initial_breakpoint", T::String, "main", -90, "Initial Breakpoint",
     "Where the program first stops."},
    {"debug_initial_breakpoint_set_option", T::Enumeration, "Always", -91,
     "Initial Breakpoint Is Set", "When the initial breakpoint is set.", kBreakpointOptions},
    {"debug_leave_target_running", T::Boolean, "No", -60, "Leave Target Running",
     "Let the target run on when debugging stops."},
    {"debug_threads_script", T::ProjFileName, "", -40, "Threads Script",
     "The script that lists the program's threads." EXPANDED, {}, "JavaScript (*.js)"},
    {"debug_threads_max", T::IntegerRange, "25", 0, "Threads Maximum",
     "The most threads the threads view shows.", {}, "", 0, false, 1, 1000},
    {"debug_html_watch", T::ProjFileName, "$(TovanDir)/html/heap.htm", -41, "HTML Watch",
     "The page that shows the program's data." EXPANDED},
    {"debug_terminal_log_file", T::OutputFileName, "", -41, "Debug Terminal Log File",
     "A file the debug terminal's output is copied to." EXPANDED},
    {"debug_cpu_registers_file", T::ProjFileName, "$(TovanDir)/targets/cpu_registers.xml", -50,
     "CPU Registers File", "The register definitions of the processor." EXPANDED, {},
     "XML (*.xml)"},
    {"debug_register_definition_file", T::ProjFileName, "", -50, "Register Definition File",
     "The register definitions of the device's peripherals." EXPANDED, {}, "XML (*.xml)"},
};

constexpr Section kProjectTable[] = {
    section("Linker", "Library Options", kLibraryOptions),
    section("Linker", "Linker Options", kLinkerOptions),
    section("Linker", "Printf/Scanf Options", kPrintfScanfOptions),
    section("Linker", "User Build Step Options", kLinkerBuildSteps),
    section("C/C++", "Preprocessor Options", kPreprocessorOptions),
    section("C/C++", "Compiler Options", kCompilerOptions),
    section("C/C++", "Code Generation Options", kCodeGenerationOptions),
    section("C/C++", "Assembler Options", kAssemblerOptions),
    section("C/C++", "Section Options", kSectionOptions),
    section("C/C++", "User Build Step Options", kCompileBuildSteps),
    section("C/C++", "Code Analyzer Options", kCodeAnalyzerOptions),
    section("General", "External Build Options", kExternalBuildOptions),
    section("General", "Folder Options", kUnityBuildOptions),
    section("General", "Build Options", kProjectBuildOptions),
    section("General", "Solution Options", kProjectSolutionOptions),
    section("Debugging", "Loader Options", kLoaderOptions),
    section("Debugging", "Debugger Options", kDebuggerOptions),
};

// Set by the build engine for one command; documented here, valued there.
constexpr const char *kBuildMacros[][2] = {
    {"CombiningOutputFilePath", "The file a combining project writes."},
    {"CombiningRelInputPaths", "The inputs of a combining project, relative to its directory."},
    {"StageOutputFilePath", "The file a staging step writes."},
    {"TargetPath", "The file the current step builds."},
    {"RelTargetPath", "The file the current step builds, relative to the project directory."},
    {"PostLinkOutputFilePath", "The file the post-link command writes."},
    {"MapPath", "The linker's map file."},
    {"RelMapPath", "The linker's map file, relative to the project directory."},
    {"DependencyPath", "The dependency file of the current compile."},
    {"RelDependencyPath", "The dependency file, relative to the project directory."},
    {"Defines", "The preprocessor definitions as compiler options."},
    {"Includes", "The include directories as compiler options."},
    {"Undefines", "The preprocessor undefinitions as compiler options."},
    {"Objects", "The object files to link or archive."},
    {"ObjectsFilePath", "The file listing the object files."},
    {"RelObjectsFilePath", "The file listing the object files, relative to the project directory."},
    {"LinkerScriptPath", "The linker script."},
    {"RelLinkerScriptPath", "The linker script, relative to the project directory."},
    {"AsmOptions", "The assembler options."},
    {"COptions", "The options of C and C++ compiles."},
    {"COnlyOptions", "The options of C compiles only."},
    {"CppOnlyOptions", "The options of C++ compiles only."},
    {"LinkOptions", "The linker options."},
    {"CLANGTIDY", "The code analyzer checks."},
    {"MemorySegments", "The memory segments of the memory map."},
};

// ---- Solution, project, folder and file properties -------------------------------------

constexpr Row kInformation[] = {
    {"Name", T::String, "", 0, "Name",
     "Names the item. The macro $(ProjectNodeName) is set to this value."},
    {"Platform", T::String, "", 0, "Platform", "The target platform of the item."},
};

constexpr Row kFileOptions[] = {
    {"date_created", T::String, "", 0, "Date Created", "When the file was created.", {}, "", 0,
     true},
    {"date_modified", T::String, "", 0, "Date Modified", "When the file was last changed.", {}, "",
     0, true},
    {"full_path", T::String, "", 0, "Full Path", "The absolute path of the file.", {}, "", 0, true},
    {"relative_path", T::String, "", 0, "Relative Path",
     "The path of the file relative to the project directory.", {}, "", 0, true},
    {"file_name", T::ProjFileName, "", 0, "File Name",
     "The file, usually relative to the project directory. This property will have global macro "
     "expansion applied to it. It sets the Input* macros."},
    {"file_codec", T::Enumeration, "Default", 0, "Text Encoding",
     "The text encoding the file is read and written with.", kCodecs},
    {"file_open_with", T::Enumeration, "Default", 0, "Open With", "What opens the file.",
     kOpenWith},
    {"file_type", T::Enumeration, "Default", 0, "File Type",
     "What kind of file this is; Default tells it from the extension.", kFileTypes},
    {"file_flag", T::String, "None", 0, "File Flag", "A mark shown beside the file."},
    {"full_project_directory", T::DirPath, "", 0, "Full Project Directory",
     "The absolute project directory.", {}, "", 0, true},
};

constexpr Row kProjectOptions[] = {
    {"project_flag", T::String, "None", 0, "Project Flag", "A mark shown beside the project."},
};

constexpr Row kSolutionOptions[] = {
    {"solution_flag", T::String, "None", 0, "Solution Flag", "A mark shown beside the solution."},
};

constexpr Row kFolderOptions[] = {
    {"filter", T::StringList, "", 0, "Filter",
     "Wildcards of the files this folder takes when files are added; for a dynamic folder, the "
     "files it shows."},
    {"path", T::DirPath, "", 0, "Dynamic Folder Directory",
     "The directories a dynamic folder shows, separated by \";\". This property will have global "
     "macro expansion applied to it."},
    {"recurse", T::Boolean, "No", 0, "Recurse Into Subdirectories",
     "A dynamic folder also shows the files of subdirectories."},
    {"exclude", T::StringList, "", 0, "Exclude",
     "Wildcards of the files a dynamic folder leaves out."},
};

constexpr Row kNodeBuildOptions[] = {
    {"project_type", T::Enumeration, "Executable", -1000, "Project Type",
     "What the project builds.", kProjectTypes},
    {"project_directory", T::DirPath, "", -239, "Project Directory",
     "The directory relative file names of the project start from; the solution's "
     "directory when empty." EXPANDED},
    {"project_dependencies", T::StringList, "", -140, "Project Dependencies",
     "Projects built before this one."},
    {"project_can_build_in_parallel", T::Enumeration, "Default", -150,
     "Project Can Build In Parallel", "Whether the project builds beside others.", kDefaultYesNo},
    {"macros", T::StringList, "", -210, "Macros",
     "Macros of the project, each <b>name=value</b>." EXPANDED},
    {"batch_build_configurations", T::StringList, "", -160, "Batch Build Configurations",
     "The configurations a batch build builds."},
    {"build_toolchain_directory", T::DirPath, "$(TovanDir)", -100, "Toolchain Directory",
     "The directory of the compiler and the tools." EXPANDED},
    {"build_treat_warnings_as_errors", T::Boolean, "", -170, "Treat Warnings As Errors",
     "A warning fails the build."},
    {"build_suppress_warnings", T::Boolean, "", -180, "Suppress Warnings",
     "The tools print no warnings."},
    {"build_intermediate_directory", T::DirPath, "Output/$(Configuration)/Obj/$(ProjectName)", -230,
     "Intermediate Directory", "Where object files go." EXPANDED},
    {"build_output_directory", T::DirPath, "Output/$(Configuration)/Exe", -235, "Output Directory",
     "Where the project's output goes." EXPANDED},
    {"build_root_output_directory", T::DirPath, "", -229, "Root Output Directory",
     "The directory every output directory is below." EXPANDED},
    {"build_object_file_name", T::FileName, "$(IntDir)/$(InputName)$(OBJ)", -224,
     "Object File Name", "The object file a source compiles to." EXPANDED, {}, "", kSources},
    {"build_output_file_name", T::FileName, "$(OutDir)/$(ProjectName)$(EXE)", -225,
     "Output File Name", "The file the project builds." EXPANDED, {}, "", kLink},
    {"build_quietly", T::Boolean, "Yes", -190, "Build Quietly",
     "Show one line per step instead of the command lines."},
    {"build_debug_information", T::Boolean, "Yes", -120, "Include Debug Information",
     "Compile and link with debug information.", {}, "", kSources | kLink},
    {"build_exclude_from_build", T::Boolean, "", -1001, "Exclude From Build",
     "The item is not built."},
    {"build_always_rebuild", T::Boolean, "", -200, "Always Rebuild",
     "The item is built even when it is up to date."},
    {"property_groups_file_path", T::ProjFileName, "", -80, "Property Groups File",
     "A file of property groups offered by this project." EXPANDED, {}, "XML (*.xml)"},
};

// Libraries name their output differently; this definition stands beside the one above.
constexpr Row kLibraryOutput[] = {
    {"build_output_file_name", T::FileName, "$(OutDir)/$(ProjectName)$(LIB)", -224,
     "Output File Name", "The library the project builds." EXPANDED, {}, "", kArchive},
};

constexpr Row kGeneralOptions[] = {
    {"inherited_configurations", T::StringList, "", 0, "Inherited Configurations",
     "The configurations whose values this configuration takes when it has none of its own."},
    {"public_configurations", T::StringList, "", 0, "Public Configurations",
     "The configurations offered for building.", {}, "", 0, true},
    {"private_configurations", T::StringList, "", 0, "Private Configurations",
     "The configurations that exist only to be inherited.", {}, "", 0, true},
    {"environment_variables", T::StringList, "", 0, "Environment Variables",
     "Variables set when the solution loads, each <b>name=value</b>." EXPANDED},
};

constexpr Row kPackageOptions[] = {
    {"package_dependencies", T::StringList, "", 0, "Package Dependencies",
     "Specifies the packages the current project depends upon."},
};

constexpr Row kSourceCodeOptions[] = {
    {"project_inhibit_indexing", T::Boolean, "", 0, "Inhibit Source Indexing",
     "The project's sources are not indexed."},
    {"source_code_control_directory", T::DirPath, "$(SolutionDir)", 0, "Source Control Directory",
     "The root of the source control working copy." EXPANDED},
    {"code_completion_options", T::StringList, "", 0, "Code Completion Options",
     "Further options of the code completion parser."},
};

constexpr Row kStagingOptions[] = {
    {"stage_output_filepath", T::FileName, "$(OutDir)/$(RelInputPath)", 0, "Stage File Path",
     "Where a staged file goes." EXPANDED},
    {"stage_command", T::CommandLine, "cp \"$(RelInputPath)\" \"$(StageOutputFilePath)\"", 0,
     "Stage Command", "The command that stages a file." EXPANDED},
    {"stage_command_wd", T::DirPath, "$(ProjectDir)", 0, "Stage Command Working Directory",
     "The directory the stage command runs in." EXPANDED},
    {"stage_set_readonly", T::Enumeration, "Don't", 0, "Stage Set Read-Only",
     "Whether a staged file is made read-only, writable, or left as it is.", kReadOnlyChoices},
    {"stage_post_build_command", T::CommandLine, "", 0, "Stage Post-Build Command",
     "A command run after staging." EXPANDED},
    {"stage_post_build_command_wd", T::DirPath, "$(ProjectDir)", 0,
     "Stage Post-Build Working Directory",
     "The directory the stage post-build command runs in." EXPANDED},
};

constexpr Row kCombiningOptions[] = {
    {"combine_output_filepath", T::FileName, "", 0, "Combine Output File Path",
     "The file the combine command writes." EXPANDED},
    {"combine_command", T::CommandLine, "", 0, "Combine Command",
     "The command that combines the inputs." EXPANDED},
    {"combine_command_wd", T::DirPath, "$(ProjectDir)", 0, "Combine Command Working Directory",
     "The directory the combine command runs in." EXPANDED},
    {"combine_set_readonly", T::Enumeration, "Don't", 0, "Combine Set Read-Only",
     "Whether the combined file is made read-only, writable, or left as it is.", kReadOnlyChoices},
};

constexpr Row kNodeBuildSteps[] = {
    {"pre_build_command", T::CommandLine, "", 0, "Pre-Build Command",
     "A command run before the item builds." EXPANDED},
    {"pre_build_command_wd", T::DirPath, "$(ProjectDir)", 0, "Pre-Build Working Directory",
     "The directory the pre-build command runs in." EXPANDED},
    {"pre_build_command_control", T::Enumeration, "Run When Build Required", 0,
     "Pre-Build Command Control", "When the pre-build command runs.", kPreBuildControl},
    {"post_build_command", T::CommandLine, "", 0, "Post-Build Command",
     "A command run after the item builds." EXPANDED},
    {"post_build_command_wd", T::DirPath, "$(ProjectDir)", 0, "Post-Build Working Directory",
     "The directory the post-build command runs in." EXPANDED},
    {"post_build_command_control", T::Enumeration, "Run When Build Has Occurred", 0,
     "Post-Build Command Control", "When the post-build command runs.", kPostBuildControl},
};

constexpr Section kNodeTable[] = {
    section("Properties", "(Information)", kInformation),
    section("General", "File Options", kFileOptions),
    section("General", "Project Options", kProjectOptions),
    section("General", "Solution Options", kSolutionOptions),
    section("General", "Folder Options", kFolderOptions),
    section("General", "Build Options", kNodeBuildOptions),
    section("General", "Library Options", kLibraryOutput, "Library"),
    section("General", "General Options", kGeneralOptions),
    section("General", "Package Options", kPackageOptions),
    section("General", "Source Code Options", kSourceCodeOptions),
    section("General", "Staging Options", kStagingOptions),
    section("General", "Combining Options", kCombiningOptions),
    section("General", "User Build Step Options", kNodeBuildSteps),
};

// clang-format on

void registerTable(PropertyRegistry &registry, std::span<const Section> table) {
    for (const Section &part : table) {
        for (const Row &row : std::span(part.rows, part.count)) {
            auto definition = std::make_unique<PropertyClass>(row.name, row.type);
            definition->setPage(part.page);
            definition->setGroup(part.group);
            definition->setShortText(row.shortText);
            definition->setLongText(row.help);
            definition->setDefaultValue(row.defaultValue);
            definition->setOrder(row.order);
            definition->setChoices({row.choices.begin(), row.choices.end()});
            definition->setFilter(row.filter);
            definition->setBuildActions(row.actions);
            definition->setReadOnly(row.readOnly);
            definition->setProjectType(part.projectType);
            if (row.type == T::IntegerRange)
                definition->setRange(row.minimum, row.maximum, 1);
            registry.add(std::move(definition));
        }
    }
}

} // namespace

void registerProjectProperties(PropertyRegistry &registry) {
    registerTable(registry, kProjectTable);
    for (const auto &[name, description] : kBuildMacros)
        registry.add(std::make_unique<MacroPropertyClass>(name, false, description));
}

void registerNodeProperties(PropertyRegistry &registry) {
    registerTable(registry, kNodeTable);
}

void registerSystemMacroProperties(PropertyRegistry &registry, const MacroExpander &systemMacros) {
    for (const auto &[name, macro] : systemMacros.systemMacros())
        if (!macro.description.empty())
            registry.add(std::make_unique<MacroPropertyClass>(name, true, macro.description));
}

void registerBuiltinProperties(PropertyRegistry &registry, const MacroExpander *systemMacros) {
    registerProjectProperties(registry);
    registerNodeProperties(registry);
    if (systemMacros)
        registerSystemMacroProperties(registry, *systemMacros);
}
