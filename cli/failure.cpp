#include "failure.h"

#include <QLocale>

#include "figures.h"
#include "razmnozhator/engine.h"

namespace razmnozhator::cli {

QString limitText(const LimitError &error)
{
    QString what;
    switch (error.task()) {
    case LimitError::Task::PositionIndex:
        what = tr("random access to its variants");
        break;
    case LimitError::Task::LengthCounts:
        what = tr("counting its variants by length");
        break;
    case LimitError::Task::LengthChoice:
        what = tr("choosing its variants by length");
        break;
    case LimitError::Task::DiversePool:
        what = tr("comparing the words of the candidates");
        break;
    case LimitError::Task::Unspecified:
        return QString::fromUtf8(error.what());
    }
    if (error.resource() == LimitError::Resource::Work)
        return tr("%1 would take minutes").arg(what);
    const QLocale c = QLocale::c();
    return tr("%1 would need %2, more than the %3 allowed")
        .arg(what, figures::aboutDataSize(mpz_class(std::to_string(error.needed())), c),
            figures::formatDataSize(mpz_class(std::to_string(error.allowed())), c));
}

} // namespace razmnozhator::cli
