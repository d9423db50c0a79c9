#include <cstdio>
#include <iostream>

#include <QCoreApplication>

#include "run.h"

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    // The variants are written in 1 MiB blocks; C stdio underneath would only
    // add a copy.
    std::ios::sync_with_stdio(false);

    razmnozhator::cli::RunEnvironment environment;
    environment.outputIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    environment.errorIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return razmnozhator::cli::run(QCoreApplication::arguments(), std::cin, std::cout, std::cerr, environment);
}
