#include "gui_support.h"

int main(int argc, char** argv) { return vqd::gui_test::run_all(argc, argv, "offscreen"); }
