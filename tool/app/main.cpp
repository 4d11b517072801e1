// The desktop program's entry: the application object runs everything.
#include "app/orbo_zorvan_tool_app.h"

int main(int argc, char** argv) {
    COrbo_Zorvan_ToolApp application;
    return application.InitInstance(argc, argv);
}
