#pragma once

class QCheckBox;
class QListWidget;
class QMainWindow;
class QTabWidget;

namespace Wordloom {

class ActionTable;
class ChecksPage;
class InfoGrid;
class KeyEditorPanel;
class KeyListBox;
class LanguagePack;
class SearchPage;
class StatusLine;

// The main window's controls and their layout: the key list with its
// buttons at the left, the key editor at the right, the status line over
// the tab pages at the bottom, the menus and the tab order.
struct MainWindowUi {
    void setupUi(QMainWindow *window, const LanguagePack &pack, const ActionTable &actions);

    KeyListBox *lpKey = nullptr;
    KeyEditorPanel *mKeyEditor = nullptr;
    QCheckBox *checkWW = nullptr;
    StatusLine *mStatusLine = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QListWidget *exportModules = nullptr;
    InfoGrid *lpInfoblock = nullptr;
    SearchPage *mSearchPage = nullptr;
    ChecksPage *mChecksPage = nullptr;
};

} // namespace Wordloom
