// Heap allocations made through operator new since the program started.
#pragma once

long AllocationCount();
