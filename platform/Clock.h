#pragma once

// The performance counter: a monotonic clock in seconds, for frame timing and the log.
double GetPerformanceTime();
