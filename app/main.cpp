#include "app/brindlewick_app.h"

int main(int argc, char** argv) {
    brindlewick::BrindlewickApp app(argc, argv);
    return app.InitInstance();
}
