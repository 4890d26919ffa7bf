// The run sequence of kvbconfig: options, banner, one pass per configured
// simulator (FSX first, then Prepar3D), release of the client's settings.
#pragma once

/// Runs the tool on the command line `argv`; the exit status is always 0.
int RunKvbConfig(int argc, char* argv[]);
