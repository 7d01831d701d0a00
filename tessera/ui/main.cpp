#include "tessera/ui/app/Application.h"

int main(int argc, char** argv) { return tessera::ui::RunTessera(argc, argv); }
