#include <cstdio>
#include <memory>

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "mainwindow.h"

namespace {

// Qt's own texts in the given language where its catalogue is installed;
// otherwise they stay English.
void installQtTranslation(QTranslator &translator, const QLocale &locale)
{
    if (translator.load(
            locale, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QCoreApplication::translate("razmnozhator",
        "Opens the window that turns one text template into every text variant it describes.\n"
        "Qt's standard options, such as -platform and -style, are accepted too (see --help-all)."));
    parser.addHelpOption();
    parser.addVersionOption();
}

// A single dash starts a long option: Qt's own options are not known before
// the GUI application takes them out, and reading "-stylesheet" as compacted
// letters would find the "h" of help in it. Unknown options are Qt's, or
// errors that the full parse reports later.
void parseLeniently(QCommandLineParser &parser, const QStringList &arguments)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    describeOptions(parser);
    (void)parser.parse(arguments);
}

// Whether the command line asks only for a text on standard output. Not
// --help-all: Qt's GUI options, which it lists, are known only to the GUI
// application.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parseLeniently(parser, arguments);
    const QStringList names = parser.optionNames();
    if (names.contains(QStringLiteral("help-all")))
        return false;
    for (const char *name : { "h", "help", "?", "v", "version" }) {
        if (names.contains(QLatin1StringView(name)))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // The application name is the window's WM_CLASS and the desktop file name
    // its Wayland app id: both must match the installed desktop entry, or the
    // desktop shows the running window without its menu entry's name and icon.
    QApplication::setApplicationName(QStringLiteral("razmnozhator"));
    QApplication::setApplicationVersion(QStringLiteral(RAZMNOZHATOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(RAZMNOZHATOR_APP_ID));

    // The GUI application aborts without a display; over ssh or in a script
    // --help and --version must still answer.
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication application(argc, argv);
        // The command line speaks the desktop's language.
        QTranslator qtTranslator;
        installQtTranslation(qtTranslator, QLocale());
        QCommandLineParser parser;
        parseLeniently(parser, QCoreApplication::arguments());
        // Both print their text and end the process with status 0.
        if (parser.isSet(QStringLiteral("version")))
            parser.showVersion();
        parser.showHelp(0);
    }

    // Takes Qt's own options (-platform, -style, ...) out of argv before the
    // parser below sees it.
    QApplication application(argc, argv);
    auto commandLineTranslator = std::make_unique<QTranslator>();
    installQtTranslation(*commandLineTranslator, QLocale());

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(application);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n",
            qPrintable(QApplication::translate("razmnozhator", "Unexpected argument '%1': the window opens no files.")
                           .arg(parser.positionalArguments().constFirst())));
        return 1;
    }

    // The window speaks Russian whatever the desktop's language, and so do
    // Qt's texts in it: the file dialog, the editors' context menus. The
    // window's own boxes name their buttons themselves where the catalogue
    // is missing.
    commandLineTranslator.reset();
    QTranslator windowTranslator;
    installQtTranslation(windowTranslator, QLocale(QLocale::Russian, QLocale::Russia));

    MainWindow window;
    window.resize(700, 500);
    window.show();
    return application.exec();
}
