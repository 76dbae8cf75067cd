#include "testutil.h"

#include "editor/namelistview.h"
#include "editor/newkeydialog.h"

#include <QFile>
#include <QLineEdit>
#include <QTableWidget>

namespace Wordloom {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        ADD_FAILURE() << "cannot write " << path.toStdString();
    file.write(bytes);
}

QString testData(const QString &name)
{
    return QStringLiteral(WORDLOOM_TEST_DATA "/") + name;
}

void EditorTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<MainWindow>(prompts, clock, dir.filePath(QStringLiteral("Plugins")));
}

void EditorTest::TearDown()
{
    EXPECT_TRUE(prompts.allAnswered()) << "scripted answers left over";
    EXPECT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join(QStringLiteral(" | ")).toStdString();
    window.reset();
}

QAction *EditorTest::action(const char *name) const
{
    auto *found = window->findChild<QAction *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

KeyListBox *EditorTest::keyList() const
{
    return control<KeyListBox>("lpKey");
}

QPlainTextEdit *EditorTest::valueMemo() const
{
    return control<QPlainTextEdit>("lpValue");
}

QPlainTextEdit *EditorTest::commentMemo() const
{
    return control<QPlainTextEdit>("lpComment");
}

QString EditorTest::gridValue(int row) const
{
    return control<QTableWidget>("lpInfoblock")->item(row, 1)->text();
}

void EditorTest::setGridValue(int row, const QString &value)
{
    control<QTableWidget>("lpInfoblock")->item(row, 1)->setText(value);
}

QString EditorTest::writePack(const QString &name, const QByteArray &xml) const
{
    const QString file = dir.filePath(name);
    writeBytes(file, xml);
    return file;
}

void EditorTest::load(const QString &file)
{
    prompts.openPaths.push_back(file);
    action("loadAction")->trigger();
}

QString EditorTest::loadPack(const QByteArray &xml)
{
    const QString file = writePack(QStringLiteral("de.xml"), xml);
    load(file);
    return file;
}

void EditorTest::typeKey(const QString &name)
{
    QLineEdit *field = keyList()->field();
    field->selectAll();
    if (name.isEmpty())
        QTest::keyClick(field, Qt::Key_Delete);
    else
        QTest::keyClicks(field, name);
}

void EditorTest::click(QCheckBox *box)
{
    window->show();
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, box->height() / 2));
}

void EditorTest::addKey(const QString &name)
{
    action("newAction")->trigger();
    NewKeyDialog *dialog = window->newKeyDialog();
    dialog->newkey()->selectAll();
    QTest::keyClick(dialog->newkey(), Qt::Key_Delete);
    QTest::keyClicks(dialog->newkey(), name);
    QTest::keyClick(dialog->newkey(), Qt::Key_Return); // Enter presses "Okay"
}

void EditorTest::pickRow(int row)
{
    NameListView *view = keyList()->view();
    view->show();
    const QRect rect = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

QStringList EditorTest::listedKeys() const
{
    QStringList names;
    for (const QString &name : window->pack().keys().names())
        names.append(name);
    return names;
}

QString EditorTest::shown() const
{
    QString options;
    for (const char *name : {"htmlCheckbox", "breakCheckbox", "unixCheckBox"})
        options += control<QCheckBox>(name)->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    return valueMemo()->toPlainText() + QLatin1Char('|') + commentMemo()->toPlainText() + QLatin1Char('|') + options;
}

} // namespace Wordloom
