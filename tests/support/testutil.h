#pragma once

#include "document/clock.h"
#include "editor/keylistbox.h"
#include "editor/mainwindow.h"
#include "fakeprompts.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace Wordloom {

class FixedClock : public Clock {
public:
    QDate date{2026, 1, 5};
    QTime time{9, 5};
    QDate currentDate() const override { return date; }
    QTime currentTime() const override { return time; }
};

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);
QString testData(const QString &name);

// A main window with scripted prompts and a set clock.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QAction *action(const char *name) const;
    bool enabled(const char *name) const { return action(name)->isEnabled(); }
    template <typename T> T *control(const char *name) const
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    KeyListBox *keyList() const;
    QPlainTextEdit *valueMemo() const;
    QPlainTextEdit *commentMemo() const;
    QString gridValue(int row) const;
    void setGridValue(int row, const QString &value);

    // Writes a pack file into the temporary folder and returns its path.
    QString writePack(const QString &name, const QByteArray &xml) const;
    // Loads a file through the open dialog.
    void load(const QString &path);
    // Writes de.xml and loads it; returns its path.
    QString loadPack(const QByteArray &xml);
    // Types into the key field as a user does.
    void typeKey(const QString &name);
    // Clicks a check box as a user does.
    void click(QCheckBox *box);
    // Adds a key through the key name dialog as a user does.
    void addKey(const QString &name);
    // Picks the entry at a row as a user does.
    void pickRow(int row);
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList listedKeys() const;
    // What the key editor shows: "translation|comment|options", the options
    // as in "101".
    QString shown() const;

    FakePrompts prompts;
    FixedClock clock;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
};

} // namespace Wordloom
