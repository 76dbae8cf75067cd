#pragma once

#include <QDialog>

namespace Wordloom {

// The window's About box: created hidden, shown again and again, not modal.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget *parent = nullptr);

    void OKButtonClick();

    // The program's icon, drawn rather than shipped as a file.
    static QPixmap programIcon(int size);
};

} // namespace Wordloom
