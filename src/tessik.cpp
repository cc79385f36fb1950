#include "App/TessikApp.h"

int main(int argc, char** argv) { return TessikApp::main(argc, argv); }
