#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::fputs("lumadoc-installer: the install flow is not built yet\n", stderr);
    return 2;
}
