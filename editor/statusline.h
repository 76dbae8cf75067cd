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
    // A text shown after the pack's counts, such as the comparison with a
    // reference; the empty text shows none.
    void setSummaryAddition(const QString &text);

private:
    QLabel *mMessage;
    QLabel *mSummary;
    QString mBase;
    QString mAddition;
};

} // namespace Wordloom
