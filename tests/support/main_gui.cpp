#include <QApplication>
#define LUMADOC_TEST_APP QApplication
#include "main_core.cpp"
