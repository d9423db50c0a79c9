// The chart of line lengths: its columns, scale, texts and drag, and the
// chart in the window following the template and the length fields.

#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include "lengthchart.h"
#include "lengthchartfeeder.h"
#include "lengthchartmodel.h"
#include "variantcounter.h"
#include "windowdriver.h"

using razmnozhator::LengthColumns;
using razmnozhator::LengthRange;

Q_DECLARE_METATYPE(LengthColumns)

namespace {

LengthColumns spectrum(std::uint64_t shortest, std::uint64_t lengthsPerColumn, const std::vector<mpz_class> &columns,
    std::uint64_t mostFrequent = 0, std::uint64_t longest = 0)
{
    LengthColumns result;
    result.shortest = shortest;
    result.longest = longest ? longest : shortest + columns.size() * lengthsPerColumn - 1;
    result.lengthsPerColumn = lengthsPerColumn;
    result.columns = columns;
    result.mostFrequent = mostFrequent ? mostFrequent : shortest;
    return result;
}

LengthChartModel modelOf(
    const LengthColumns &figures, LengthRange counted = { 10, 200 }, std::optional<mpz_class> kept = std::nullopt)
{
    LengthChartModel model;
    model.setSpectrum(figures, counted, std::move(kept));
    return model;
}

const mpz_class googol("1" + std::string(100, '0'));

// A press, a move and a release of the left button between two lengths.
void drag(LengthChart *chart, std::uint64_t from, std::uint64_t to)
{
    const QRect plot = chart->plotRect();
    const double half = 0.5 / double(chart->model().longest() - chart->model().shortest() + 1);
    const auto send = [&](QEvent::Type type, std::uint64_t length, Qt::MouseButton button, Qt::MouseButtons buttons) {
        const QPointF at(plot.left() + (chart->model().position(length) + half) * plot.width(), plot.center().y());
        QMouseEvent event(type, at, chart->mapToGlobal(at), button, buttons, {});
        QCoreApplication::sendEvent(chart, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, {});
}

} // namespace

class LengthChartTest : public QObject
{
    Q_OBJECT

private slots:
    void columns_data();
    void columns();
    void scale_data();
    void scale();
    void texts_data();
    void texts();
    void dragBounds_data();
    void dragBounds();
    void followsTemplateAndBounds();
    void keepsTheBarsWhileTheTemplateIsNotWhole_data();
    void keepsTheBarsWhileTheTemplateIsNotWhole();
};

void LengthChartTest::columns_data()
{
    QTest::addColumn<LengthColumns>("figures");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QString>("expected");

    QTest::newRow("a column per length") << spectrum(10, 1, { 1, 2, 0, 5 }) << 100
                                         << QStringLiteral("10-10:1 11-11:2 12-12:0 13-13:5");
    QTest::newRow("two lengths a pixel") << spectrum(10, 1, { 1, 2, 0, 5 }) << 2 << QStringLiteral("10-11:3 12-13:5");
    QTest::newRow("last column shorter") << spectrum(10, 1, { 1, 1, 1, 1, 1 }) << 2
                                         << QStringLiteral("10-12:3 13-14:2");
    QTest::newRow("engine columns joined further") << spectrum(0, 10, std::vector<mpz_class>(1000, 1)) << 300
                                                   << QStringLiteral("250 columns, 0-39:4 ... 9960-9999:4");
    QTest::newRow("last engine column shorter")
        << spectrum(5, 3, { 3, 3, 1 }, 5, 11) << 10 << QStringLiteral("5-7:3 8-10:3 11-11:1");
}

void LengthChartTest::columns()
{
    QFETCH(LengthColumns, figures);
    QFETCH(int, pixels);
    QFETCH(QString, expected);
    const auto columns = modelOf(figures).columns(pixels);
    const auto text = [](const LengthChartModel::Column &column) {
        return QStringLiteral("%1-%2:%3")
            .arg(column.first)
            .arg(column.last)
            .arg(QString::fromStdString(column.count.get_str()));
    };
    QStringList texts;
    if (columns.size() > 10) {
        texts << QStringLiteral("%1 columns,").arg(columns.size()) << text(columns.front()) << QStringLiteral("...")
              << text(columns.back());
    } else {
        for (const auto &column : columns)
            texts << text(column);
    }
    QCOMPARE(texts.join(u' '), expected);
}

void LengthChartTest::scale_data()
{
    QTest::addColumn<LengthColumns>("figures");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<QList<double>>("heights");

    QTest::newRow("linear halves") << spectrum(1, 1, { 4, 2, 0 }) << false << QList<double> { 1, 0.5, 0 };
    QTest::newRow("a hundred times is still linear")
        << spectrum(1, 1, { 100, 1 }) << false << QList<double> { 1, 0.01 };
    QTest::newRow("more than a hundred times") << spectrum(1, 1, { 101, 1 }) << true << QList<double> { 1, 0.125 };
    QTest::newRow("empty lengths do not count")
        << spectrum(1, 1, { 0, 3, 0, 1 }) << false << QList<double> { 0, 1, 0, 1.0 / 3 };
    QTest::newRow("decades evenly") << spectrum(1, 1, { 1000, 10, 1 }) << true
                                    << QList<double> { 1, 0.125 + 0.875 / 3, 0.125 };
    QTest::newRow("huge and equal") << spectrum(1, 1, { googol, googol }) << false << QList<double> { 1, 1 };
    QTest::newRow("huge beside small") << spectrum(1, 1, { googol, 1 }) << true << QList<double> { 1, 0.125 };
}

void LengthChartTest::scale()
{
    QFETCH(LengthColumns, figures);
    QFETCH(bool, logarithmic);
    QFETCH(QList<double>, heights);
    const LengthChartModel model = modelOf(figures);
    QCOMPARE(model.logScale(), logarithmic);
    const auto columns = model.columns(100);
    QCOMPARE(columns.size(), std::size_t(heights.size()));
    for (qsizetype i = 0; i < heights.size(); ++i)
        QVERIFY2(std::abs(columns[std::size_t(i)].height - heights[i]) < 1e-9, qPrintable(QString::number(i)));
}

void LengthChartTest::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    LengthColumns advertising = spectrum(216, 1, std::vector<mpz_class>(113, 1), 272);
    QTest::newRow("bounds keep none") << modelOf(advertising, { 10, 200 }, 0).description()
                                      << QStringLiteral("от 216 до 328 символов, чаще всего 272; в границах 10–200: 0");
    QTest::newRow("unknown how many the bounds keep")
        << modelOf(spectrum(1, 1, std::vector<mpz_class>(21, 1), 5)).description()
        << QStringLiteral("от 1 до 21 символа, чаще всего 5");
    QTest::newRow("one length, 10^100 lines")
        << modelOf(spectrum(100, 1, { googol }, 100), { 10, 200 }, googol).description()
        << QStringLiteral("100 символов; в границах 10–200: ≈ 1,00·10¹⁰⁰");
    QTest::newRow("big numbers grouped")
        << modelOf(spectrum(10000, 1, { 1, 2 }, 10001), { 0, 99999 }, 3).description()
        << QStringLiteral("от 10 000 до 10 001 символа, чаще всего 10 001; в границах 0–99999: 3");
    LengthChartModel refused;
    refused.setRefused(QStringLiteral("Длины строк не показаны: не хватило памяти"));
    QTest::newRow("refused") << refused.description() << QStringLiteral("Длины строк не показаны: не хватило памяти");
    QTest::newRow("nothing to show") << LengthChartModel().description() << QString();

    const auto point = [](std::uint64_t first, std::uint64_t last, const mpz_class &count) {
        return LengthChartModel::pointText({ first, last, count, 0 });
    };
    QTest::newRow("point: many") << point(56, 56, 1234567) << QStringLiteral("длина 56: 1 234 567 строк");
    QTest::newRow("point: one") << point(7, 7, 21) << QStringLiteral("длина 7: 21 строка");
    QTest::newRow("point: few") << point(7, 7, 3) << QStringLiteral("длина 7: 3 строки");
    QTest::newRow("point: eleven to fourteen") << point(7, 7, 12) << QStringLiteral("длина 7: 12 строк");
    QTest::newRow("point: a wide column") << point(56, 60, 22) << QStringLiteral("длины 56–60: 22 строки");
    QTest::newRow("point: approximate") << point(100, 100, googol + 1)
                                        << QStringLiteral("длина 100: ≈ 1,00·10¹⁰⁰ строк");
}

void LengthChartTest::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void LengthChartTest::dragBounds_data()
{
    QTest::addColumn<double>("fromShare");
    QTest::addColumn<double>("toShare");
    QTest::addColumn<quint64>("min");
    QTest::addColumn<quint64>("max");

    // Lengths 100 to 199, a hundredth of the width each.
    QTest::newRow("left to right") << 0.005 << 0.505 << quint64(100) << quint64(150);
    QTest::newRow("right to left") << 0.995 << 0.205 << quint64(120) << quint64(199);
    QTest::newRow("past both ends") << 1.7 << -0.3 << quint64(100) << quint64(199);
}

void LengthChartTest::dragBounds()
{
    QFETCH(double, fromShare);
    QFETCH(double, toShare);
    QFETCH(quint64, min);
    QFETCH(quint64, max);
    const LengthChartModel model = modelOf(spectrum(100, 1, std::vector<mpz_class>(100, 1)));
    QCOMPARE(
        LengthChartModel::dragBounds(model.lengthAt(fromShare), model.lengthAt(toShare)), (LengthRange { min, max }));
    // Only five digits fit the fields.
    QCOMPARE(LengthChartModel::dragBounds(150000, 90000), (LengthRange { 90000, 99999 }));
    QCOMPARE(LengthChartModel::dragBounds(120000, 130000), (LengthRange { 99999, 99999 }));
}

void LengthChartTest::followsTemplateAndBounds()
{
    WindowDriver driver;
    driver.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(driver.window.get()));
    auto *chart = driver.child<LengthChart>("lengthChart");
    QCOMPARE(chart->accessibleName(), QStringLiteral("Длины строк"));
    // The chart takes its row without pushing the list below a third of the window.
    QVERIFY(chart->isVisible() && chart->height() >= chart->minimumSizeHint().height());
    QVERIFY2(driver.resultList()->height() >= driver.window->height() / 3,
        qPrintable(QString::number(driver.resultList()->height())));

    QTRY_COMPARE(
        chart->accessibleDescription(), QStringLiteral("от 45 до 51 символа, чаще всего 47; в границах 10–200: 30"));
    QCOMPARE(chart->model().bounds(), (LengthRange { 10, 200 }));
    // The shading follows a field at once, the figure once the count is in.
    driver.minLengthEdit()->setText(QStringLiteral("48"));
    QCOMPARE(chart->model().bounds(), (LengthRange { 48, 200 }));
    QTRY_COMPARE(
        chart->accessibleDescription(), QStringLiteral("от 45 до 51 символа, чаще всего 47; в границах 48–200: 16"));

    driver.templateEdit()->setPlainText(QStringLiteral("[a|bb|ccc|dddd][x|yy]"));
    QTRY_COMPARE(
        chart->accessibleDescription(), QStringLiteral("от 2 до 6 символов, чаще всего 3; в границах 48–200: 0"));
    // A drag sets both fields, and the chart follows them.
    drag(chart, 5, 3);
    QCOMPARE(driver.minLengthEdit()->text(), QStringLiteral("3"));
    QCOMPARE(driver.maxLengthEdit()->text(), QStringLiteral("5"));
    QCOMPARE(chart->model().bounds(), (LengthRange { 3, 5 }));
    QTRY_COMPARE(chart->accessibleDescription(), QStringLiteral("от 2 до 6 символов, чаще всего 3; в границах 3–5: 6"));

    // Figures read for a template replaced meanwhile never reach the chart:
    // the template changes again as soon as the first one's figures are being read.
    auto *feeder = driver.window->findChild<LengthChartFeeder *>();
    QVERIFY(feeder);
    bool replaced = false;
    const auto replace
        = connect(driver.window->findChild<VariantCounter *>(), &VariantCounter::countedFigures, chart, [&] {
              if (!replaced && feeder->isReading()) {
                  replaced = true;
                  driver.templateEdit()->setPlainText(QStringLiteral("[a|bb|ccc]"));
              }
          });
    driver.templateEdit()->setPlainText(QStringLiteral("[a|bb]").repeated(3000));
    QTRY_VERIFY(replaced);
    disconnect(replace);
    const QString small = QStringLiteral("от 1 до 3 символов, чаще всего 1; в границах 3–5: 1");
    QTRY_COMPARE(chart->accessibleDescription(), small);
    QTRY_VERIFY(!feeder->isReading());
    QTest::qWait(200);
    QCOMPARE(chart->accessibleDescription(), small);

    driver.templateEdit()->setPlainText(QStringLiteral("[0|1|2|3|4|5|6|7|8|9]").repeated(100));
    QTRY_COMPARE(chart->accessibleDescription(), QStringLiteral("100 символов; в границах 3–5: 0"));
    // Too varied to count by length: one line instead of the chart.
    driver.templateEdit()->setPlainText(QStringLiteral("[q|{-|x|yy|[z|ww]}|]").repeated(5000));
    QTRY_COMPARE(chart->accessibleDescription(),
        QStringLiteral("Длины строк не показаны: их подсчёт занял бы слишком много времени"));
    // An empty template has no lengths to show.
    driver.templateEdit()->setPlainText(QString());
    QTRY_COMPARE(chart->accessibleDescription(), QString());
}

void LengthChartTest::keepsTheBarsWhileTheTemplateIsNotWhole_data()
{
    QTest::addColumn<QString>("faulty");
    QTest::addColumn<QString>("countText");

    QTest::newRow("unclosed group") << QStringLiteral("[Лучшее|Отличное решение для [мелкого")
                                    << QStringLiteral("Строка 1, столбец 1: Incomplete number of '[]'s");
    QTest::newRow("a letter CP1251 lacks")
        << QStringLiteral("[Лучшее|Отличное] Ŭ")
        << QStringLiteral("Строка 1, столбец 19: символ «Ŭ» (U+016C) нельзя записать в кодировке CP1251");
    QTest::newRow("NUL") << QStringLiteral("[Лучшее|Отличное]") + QChar(0)
                         << QStringLiteral("Строка 1, столбец 18: символ NUL не может быть частью шаблона");
}

// A template that is not whole, as it is while being typed, leaves the last
// whole one's bars in place; the next whole one replaces them.
void LengthChartTest::keepsTheBarsWhileTheTemplateIsNotWhole()
{
    QFETCH(QString, faulty);
    QFETCH(QString, countText);

    WindowDriver driver;
    auto *chart = driver.child<LengthChart>("lengthChart");
    const QString sample = QStringLiteral("от 45 до 51 символа, чаще всего 47; в границах 10–200: 30");
    QTRY_COMPARE(chart->accessibleDescription(), sample);
    driver.templateEdit()->setPlainText(faulty);
    QTRY_COMPARE(driver.child<QLabel>("variantCountLabel")->text(), countText);
    QCoreApplication::processEvents();
    QCOMPARE(chart->accessibleDescription(), sample);
    QVERIFY(chart->model().hasSpectrum());
    driver.templateEdit()->setPlainText(QStringLiteral("[a|bb|ccc|dddd][x|yy]"));
    QTRY_COMPARE(
        chart->accessibleDescription(), QStringLiteral("от 2 до 6 символов, чаще всего 3; в границах 10–200: 0"));
}

QTEST_MAIN(LengthChartTest)
#include "lengthchart_test.moc"
