#pragma once

// A command given on the command line, performed by the running instance.
enum class AppCommand { none, captureArea, captureScreen, showSettings, quit };
