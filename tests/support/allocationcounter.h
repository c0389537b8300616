#pragma once

// Heap allocations made through operator new since start-up. Only programs that compile
// allocationcounter.cpp into themselves (it replaces the global operator new) may call it.
long allocationCount();
