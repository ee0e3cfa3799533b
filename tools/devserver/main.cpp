#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::fputs("lumadoc-devserver: not built yet\n", stderr);
    return 2;
}
