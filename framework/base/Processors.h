// How many processors this process may run on: its affinity, which a user
// (or `taskset`) may have narrowed, not the machine's count. Worker pools
// size themselves from it so that they never start more threads than can run.
#pragma once

unsigned UsableProcessorCount();
