#pragma once

// The usage text shown for "/?", "/H" and "/HELP", and the caption of the start-up boxes.
extern const char* const kUsageText;
extern const char* const kStartupCaption;
