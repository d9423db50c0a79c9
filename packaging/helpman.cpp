// Makes the Russian manual page of razmnozhator-cli from the window's help
// on the template language, so that the two never say different things:
//   razmnozhator-helpman HELP-TEXT OUTPUT

#include <cstdio>

#include <QFile>
#include <QString>

#include "helptext.h"

namespace {

QString manualPage(const QString &help)
{
    return QStringLiteral(R"(.\" Русская страница руководства razmnozhator-cli: справка окна о шаблонах.
.TH RAZMNOZHATOR\-CLI 1 2026\-12\-10 Razmnozhator "Команды пользователя"
.nh
.SH ИМЯ
razmnozhator\-cli \- все варианты текста, которые описывает шаблон
.SH СИНТАКСИС
.B razmnozhator\-cli
.RI [ параметры ]
.RI [ ФАЙЛ ]
.SH ОПИСАНИЕ
.B razmnozhator\-cli
читает шаблон из
.I ФАЙЛА
(или со стандартного ввода, или из
.BR \-e )
и пишет все его варианты, по одному в строке.
Параметры перечисляет
.BR "razmnozhator\-cli \-\-help" ;
подробно они описаны в английской странице
.BR "man \-L en razmnozhator\-cli" .
Окно
.BR razmnozhator (1)
понимает те же шаблоны; эта страница \(em его справка «Как писать шаблоны» (F1).
.PP
%1.SH "СМОТРИТЕ ТАКЖЕ"
.BR razmnozhator (1)
)")
        .arg(razmnozhator::helptext::toRoff(razmnozhator::helptext::parse(help)));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s HELP-TEXT OUTPUT\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    const QString help = QString::fromUtf8(in.readAll());
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(manualPage(help).toUtf8()) < 0) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    return 0;
}
