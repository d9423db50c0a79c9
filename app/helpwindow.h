#pragma once

// «Как писать шаблоны»: the help on the template language in a window of its
// own beside the main one, made from the help text in the resources. Each
// example has a link that hands it to the main window for its template.

#include <QWidget>

class QTextBrowser;

class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

signals:
    void exampleChosen(const QString &templateText);

private:
    QTextBrowser *browser = nullptr;
};
