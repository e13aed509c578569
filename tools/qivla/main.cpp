#include "qivla.h"

int main(int argc, char** argv) { return qivla::run(argc, argv); }
