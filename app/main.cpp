#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "mainwindow.h"

int main(int argc, char *argv[])
{
    // The application name is the window's WM_CLASS and the desktop file name
    // its Wayland app id: both must match the installed desktop entry, or the
    // desktop shows the running window without its menu entry's name and icon.
    QApplication::setApplicationName(QStringLiteral("razmnozhator"));
    QApplication::setApplicationVersion(QStringLiteral(RAZMNOZHATOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(RAZMNOZHATOR_APP_ID));
    // Takes Qt's own options (-platform, -style, ...) out of argv before the
    // parser below sees it.
    QApplication application(argc, argv);

    // The window's own texts are Russian whatever the locale; Qt's standard
    // buttons, the file dialog and the --help text follow the desktop's
    // language. Without a catalogue for it they stay English.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QCommandLineParser parser;
    parser.setApplicationDescription(QApplication::translate("razmnozhator",
        "Opens the window that turns one text template into every text variant it describes.\n"
        "Qt's standard options, such as -platform and -style, are accepted too (see --help-all)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(application);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n",
            qPrintable(QApplication::translate("razmnozhator", "Unexpected argument '%1': the window opens no files.")
                           .arg(parser.positionalArguments().constFirst())));
        return 1;
    }

    MainWindow window;
    window.resize(700, 500);
    window.show();
    return application.exec();
}
