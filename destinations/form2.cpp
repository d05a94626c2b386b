#include "form2.h"

#include "codepage932.h"
#include "destinationinput.h"
#include "destinationrows.h"
#include "inputmethod.h"
#include "messageboxes.h"
#include "pcipfile.h"
#include "twips.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

Form2::Form2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_openHelp(openHelpWithDesktop)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Wispleaf"));
    setWindowIcon(QIcon(QStringLiteral(":/wispleaf/wispleaf.xpm")));
    setModal(true);
    createControls();
    createMenus();
}

void Form2::createMenus()
{
    auto *bar = new QMenuBar(this);
    QMenu *f1 = bar->addMenu(QStringLiteral("ファイル"));
    f1->setObjectName(QStringLiteral("f1"));
    QAction *f11 = f1->addAction(QStringLiteral("終了"));
    f11->setObjectName(QStringLiteral("f11_0"));
    connect(f11, &QAction::triggered, this, [this] { f11_Click(0); });
    QMenu *h1 = bar->addMenu(QStringLiteral("ヘルプ"));
    h1->setObjectName(QStringLiteral("h1"));
    QAction *h11 = h1->addAction(QStringLiteral("ヘルプ"));
    h11->setObjectName(QStringLiteral("h11_0"));
    connect(h11, &QAction::triggered, this, [this] { h11_Click(0); });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(bar);
    layout->addWidget(m_client);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Form2::createControls()
{
    const Twips twips(logicalDpiX());
    m_client = new QWidget(this);
    m_client->setFixedSize(twips.toPixels(6480), twips.toPixels(3120));

    auto frame = [&](const char *name, const QString &caption, QRect rect) {
        auto *box = new QGroupBox(caption, m_client);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(rect);
        return box;
    };
    Frame4 = frame("Frame4", QStringLiteral("接続先に設定"), twips.rect(138, 120, 1812, 612));
    Frame1 = frame("Frame1", QStringLiteral("接続先の名前"), twips.rect(2058, 120, 2052, 612));
    Frame2 = frame("Frame2", QStringLiteral("IPｱﾄﾞﾚｽ（例:192.235・・・）"), twips.rect(4218, 120, 2124, 612));
    Frame3 = frame("Frame3", QStringLiteral("接続先リスト（Wisphubが置いてある場所）"), twips.rect(114, 840, 6252, 2172));

    // Both options live in Frame4, which makes them one exclusive group.
    Option1 = new QRadioButton(DestinationRows::kAttemptText, Frame4);
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setGeometry(twips.rect(120, 240, 612, 252));
    Option2 = new QRadioButton(DestinationRows::kNoAttemptText, Frame4);
    Option2->setObjectName(QStringLiteral("Option2"));
    Option2->setGeometry(twips.rect(960, 240, 732, 252));

    auto edit = [&](const char *name, QWidget *parent, QRect rect) {
        auto *box = new QLineEdit(parent);
        box->setObjectName(QLatin1String(name));
        box->setGeometry(rect);
        box->raise();
        return box;
    };
    Text1 = edit("Text1", m_client, twips.rect(2160, 360, 1812, 264));
    Text2 = edit("Text2", m_client, twips.rect(4320, 360, 372, 264));
    Text3 = edit("Text3", Frame2, twips.rect(600, 240, 372, 264));
    Text4 = edit("Text4", Frame2, twips.rect(1080, 240, 372, 264));
    Text5 = edit("Text5", Frame2, twips.rect(1560, 240, 372, 264));
    // The frames' captions name the boxes inside them for a screen reader.
    Text1->setAccessibleName(Frame1->title());
    const QList<QLineEdit *> parts{Text2, Text3, Text4, Text5};
    for (int i = 0; i < parts.size(); ++i)
        parts[i]->setAccessibleName(QStringLiteral("IPアドレスの%1番目の数").arg(i + 1));
    InputMethod::preferHiragana(Text1);
    for (QLineEdit *part : {Text2, Text3, Text4, Text5})
        InputMethod::turnOff(part);

    auto button = [&](const char *name, const QString &caption, QRect rect) {
        auto *push = new QPushButton(caption, m_client);
        push->setObjectName(QLatin1String(name));
        push->setGeometry(rect);
        push->setAutoDefault(false);
        push->raise();
        return push;
    };
    Command1 = button("Command1", QStringLiteral("新規追加"), twips.rect(438, 1080, 1692, 252));
    Command3 = button("Command3", QStringLiteral("修正"), twips.rect(2394, 1080, 1692, 252));
    Command2 = button("Command2", QStringLiteral("削除"), twips.rect(4350, 1080, 1692, 252));

    ListView1 = new QTreeView(m_client);
    m_rows = new DestinationRows(ListView1);
    ListView1->setModel(m_rows);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(twips.rect(360, 1440, 6000, 1452));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setSortingEnabled(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setUniformRowHeights(true);
    ListView1->header()->setStretchLastSection(false);
    ListView1->raise();
    ListView1->setAccessibleName(Frame3->title());

    setTabOrder(Option1, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Text5);
    setTabOrder(Text5, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command2);
    setTabOrder(Command2, ListView1);
    setTabOrder(ListView1, Option2);

    connect(ListView1, &QTreeView::clicked, this, [this](const QModelIndex &index) { ListView1_ItemClick(index.row()); });
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
}

void Form2::showModally()
{
    Form_Load();
    exec();
}

void Form2::Form_Load()
{
    // Each opening starts like a freshly loaded window; an index chosen in
    // an earlier opening must not steer delete or modify now.
    SelectedIndex = 0;
    for (QLineEdit *box : {Text1, Text2, Text3, Text4, Text5})
        box->clear();
    for (QPushButton *button : {Command1, Command2, Command3})
        button->setEnabled(true);
    FillList();
    Option1->setChecked(true);
}

void Form2::FillList()
{
    m_rows->setRecords({});
    const Twips twips(logicalDpiX());
    const int columnWidth = twips.toPixels(0.33 * twips.fromPixels(ListView1->width()));
    for (int column = 0; column < 3; ++column)
        ListView1->setColumnWidth(column, columnWidth);

    PcipFile file;
    QList<PCIPRecord> records;
    if (!file.open() || !file.readAll(&records)) {
        showFileError(file.errorString());
        return;
    }
    file.close();
    m_rows->setRecords(std::move(records));
    if (!file.notice().isEmpty())
        showFileError(file.notice());
}

void Form2::ListView1_ItemClick(int row)
{
    SelectedIndex = row + 1;
    Command1->setEnabled(false);
    Command2->setEnabled(true);
    Command3->setEnabled(true);
    const PCIPRecord shown = m_rows->shown(row);
    if (shown.Attempt == PCIPRecord::kAttempt)
        Option1->setChecked(true);
    else
        Option2->setChecked(true);
    Text1->setText(shown.PCName);
    const QStringList parts = DestinationInput::splitAddress(shown.IPAddress);
    Text2->setText(parts[0]);
    Text3->setText(parts[1]);
    Text4->setText(parts[2]);
    Text5->setText(parts[3]);
}

QStringList Form2::addressParts() const
{
    return {Text2->text(), Text3->text(), Text4->text(), Text5->text()};
}

bool Form2::TextCheck()
{
    if (DestinationInput::check(Text1->text(), addressParts()) != DestinationInput::Verdict::Valid) {
        InputError();
        return false;
    }
    // The file would hold "?" in its place; the boxes keep what was typed.
    // Only the part of the name that the record holds counts.
    const QString unstorable = Cp932::unencodable(QStringView(Text1->text()).left(PCIPRecord::kNameBytes));
    if (!unstorable.isEmpty()) {
        MessageBoxes::warn(this, MessageBoxes::kTitle,
                           QStringLiteral("接続先の名前に使えない文字があります：「%1」").arg(unstorable));
        return false;
    }
    return true;
}

void Form2::InputError()
{
    MessageBoxes::warn(this, MessageBoxes::kTitle, QStringLiteral("入力しなおしてください"));
    for (QLineEdit *box : {Text1, Text2, Text3, Text4, Text5})
        box->clear();
}

void Form2::ResetInput()
{
    Option1->setChecked(true);
    Command1->setEnabled(true);
    for (QLineEdit *box : {Text1, Text2, Text3, Text4, Text5})
        box->clear();
}

void Form2::showFileError(const QString &description)
{
    MessageBoxes::warn(this, MessageBoxes::kTitle, description);
}

PCIPRecord Form2::recordFromInputs(bool lowerCaseAddress) const
{
    PCIPRecord record;
    record.Attempt = Option1->isChecked() ? PCIPRecord::kAttempt : PCIPRecord::kDoNotAttempt;
    record.PCName = Text1->text();
    record.IPAddress = DestinationInput::joinAddress(addressParts(), lowerCaseAddress);
    return record;
}

void Form2::Command1_Click()
{
    if (!TextCheck())
        return;
    // Add-new stores the address parts lower-cased; modify keeps them as typed.
    const PCIPRecord record = recordFromInputs(true);

    // The file first: a row appears only for a record that was written.
    PcipFile file;
    if (!file.open() || !file.append(record)) {
        showFileError(file.errorString());
        return;
    }
    file.close();
    m_rows->appendTyped(record);
    ResetInput();
}

PCIPRecord Form2::recordShownInRow(int row) const
{
    return m_rows->shown(row);
}

bool Form2::readRecordsForChosenRow(QByteArray *records, bool *current)
{
    PcipFile file;
    if (!file.open() || !file.readWholeRecords(records)) {
        showFileError(file.errorString());
        return false;
    }
    const qsizetype offset = qsizetype(SelectedIndex - 1) * PCIPRecord::kSize;
    *current = offset < records->size()
               && PCIPRecord::fromBytes(QByteArrayView(*records).sliced(offset, PCIPRecord::kSize))
                      .isShownAs(recordShownInRow(SelectedIndex - 1));
    return true;
}

void Form2::listChangedElsewhere(const QString &action)
{
    MessageBoxes::warn(this, MessageBoxes::kTitle,
                       QStringLiteral("接続先リストがほかで変更されていたため、%1しませんでした。"
                                      "最新のリストを表示しましたので、もう一度選んでください。")
                           .arg(action));
    FillList();
    SelectedIndex = -1;
    ResetInput();
}

void Form2::Command2_Click()
{
    if (SelectedIndex <= 0 || SelectedIndex > m_rows->rowCount())
        return;
    if (!MessageBoxes::confirm(this, MessageBoxes::kTitle,
                               QStringLiteral("接続先リストの選択された項目を削除してもよいですか？")))
        return;

    // The other records go back byte for byte as the file holds them: their
    // marks, spaces and bytes the list cannot show stay untouched.
    QByteArray records;
    bool current = false;
    if (!readRecordsForChosenRow(&records, &current))
        return;
    if (!current) {
        listChangedElsewhere(QStringLiteral("削除"));
        return;
    }
    const qsizetype offset = qsizetype(SelectedIndex - 1) * PCIPRecord::kSize;
    records.remove(offset, PCIPRecord::kSize);
    QString error;
    if (!PcipFile::replaceAll(QString::fromLatin1(PcipFile::kFileName), records, &error)) {
        showFileError(error);
        return;
    }
    m_rows->removeRow(SelectedIndex - 1);
    SelectedIndex = -1;
    ResetInput();
}

void Form2::Command3_Click()
{
    if (SelectedIndex <= 0 || SelectedIndex > m_rows->rowCount())
        return;
    if (!TextCheck())
        return;
    const PCIPRecord record = recordFromInputs(false);

    // Writing past the end would leave a hole of NUL bytes, and writing over
    // a record another copy changed would lose that change.
    QByteArray records;
    bool current = false;
    if (!readRecordsForChosenRow(&records, &current))
        return;
    if (!current) {
        listChangedElsewhere(QStringLiteral("修正"));
        return;
    }
    PcipFile file;
    if (!file.open() || !file.writeRecord(SelectedIndex, record)) {
        showFileError(file.errorString());
        return;
    }
    file.close();
    FillList();
    SelectedIndex = -1;
    ResetInput();
}

void Form2::f11_Click(int /*index*/)
{
    close();
}

void Form2::h11_Click(int /*index*/)
{
    m_openHelp(this, helpFilePath());
}
