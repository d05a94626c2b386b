#pragma once

// Form2 is the destination window: the list of servers kept in "PCIP.dat"
// with inputs to add, modify and delete entries. The record format is
// PcipFile's, the input rules DestinationInput's; this class wires them to
// the controls.

#include "helpopener.h"
#include "pciprecord.h"

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class DestinationRows;
class QTreeView;

class Form2 final : public QDialog
{
    Q_OBJECT
public:
    explicit Form2(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(Form2)

    // Loads the window afresh and shows it modally; returns when closed.
    void showModally();

    // Validates the input area; on failure tells the user and returns false.
    bool TextCheck();

    void setHelpOpener(HelpOpener opener) { m_openHelp = std::move(opener); }

private:
    void createControls();
    void createMenus();

    void Form_Load();
    void FillList();
    void ListView1_ItemClick(int row);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void f11_Click(int index);
    void h11_Click(int index);
    void ResetInput();
    void InputError();

    QStringList addressParts() const;
    PCIPRecord recordFromInputs(bool lowerCaseAddress) const;
    PCIPRecord recordShownInRow(int row) const;
    void showFileError(const QString &description);
    // Reads the whole records; false (after telling the user) on a file
    // error. *current: the file still holds at the chosen row's position
    // what that row shows.
    bool readRecordsForChosenRow(QByteArray *records, bool *current);
    // Another copy of the program changed the file since the list was
    // filled: say so, change nothing, and show the file as it is now.
    void listChangedElsewhere(const QString &action);

    QWidget *m_client = nullptr;
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QGroupBox *Frame4 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;
    QTreeView *ListView1 = nullptr;
    DestinationRows *m_rows = nullptr;
    HelpOpener m_openHelp;

    // Number (from 1) of the row last clicked; 0 before any click, -1 after
    // a change. Delete and modify act only on a real row number.
    int SelectedIndex = 0;
};
