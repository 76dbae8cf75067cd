#pragma once

#include <QWidget>

class QLabel;

namespace Wordloom {

class LanguagePack;

// The status line: each message replaces the last at the left; the pack's
// name, a mark while it is modified, and its counts stay at the right.
class StatusLine : public QWidget {
    Q_OBJECT
public:
    explicit StatusLine(QWidget *parent = nullptr);

    void showMessage(const QString &message);
    QString message() const;
    void showSummary(const LanguagePack &pack);

private:
    QLabel *mMessage;
    QLabel *mSummary;
};

} // namespace Wordloom
