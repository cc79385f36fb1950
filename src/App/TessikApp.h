#pragma once

// The entry point: an accessory application (tray only, no window at start) with its main menu.
namespace TessikApp {
int main(int argc, char** argv);
}
