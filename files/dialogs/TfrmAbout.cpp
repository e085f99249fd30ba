#include "files/dialogs/TfrmAbout.h"

#include "files/dialogs/TVersionInfo.h"
#include "files/dialogs/WindowOnScreen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr QSize ClientSize(383, 117);

QFont boldFont(const QFont& base)
{
    QFont f = base;
    f.setBold(true);
    return f;
}
} // namespace

TfrmAbout::TfrmAbout(QWidget* parent, const QString& versionResource)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Audimark For Sound Level Meter"));
    setFixedSize(ClientSize);

    Label3 = new QLabel(QStringLiteral("QV-58M Software"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(20);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    Label3->setFont(titleFont);
    Label3->setStyleSheet(QStringLiteral("color: blue;"));
    Label3->setAlignment(Qt::AlignCenter);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFixedSize(ClientSize.width() - 100, 20);
    Label4->setAlignment(Qt::AlignCenter);

    Label1 = new QLabel(QStringLiteral("Version:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(boldFont(font()));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(boldFont(font()));
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                              QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TfrmAbout::BitBtn1Click);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(Label1);
    versionRow->addWidget(Label2);
    versionRow->addStretch(1);
    versionRow->addWidget(BitBtn1);

    auto* text = new QVBoxLayout;
    text->addWidget(Label3);
    text->addWidget(Label4, 0, Qt::AlignHCenter);
    text->addStretch(1);
    text->addLayout(versionRow);

    // The program's icon, when the application has one.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) {
        auto* image = new QLabel(this);
        image->setObjectName(QStringLiteral("Image1"));
        image->setPixmap(icon.pixmap(QSize(56, 56)));
        image->setAlignment(Qt::AlignTop);
        layout->addWidget(image);
    }
    layout->addLayout(text, 1);

    VersionInfo1 = versionResource.isEmpty() ? new TVersionInfo(this)
                                             : new TVersionInfo(this, versionResource);
    VersionInfo1->SetFileVersionLabel(Label2);
    VersionInfo1->Loaded();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TfrmAbout::showAsSplash()
{
    BitBtn1->hide();
    show();
    raise();
    // The start-up blocks right after this; a window not yet exposed would
    // stay an unpainted rectangle all through it.
    (void)WindowOnScreen::waitUntilShown(*this);
    repaint();
}

void TfrmAbout::setProgressText(const QString& text)
{
    Label4->setText(text);
    Label4->repaint();
}

QString TfrmAbout::progressText() const
{
    return Label4->text();
}

QString TfrmAbout::versionText() const
{
    return Label2->text();
}

void TfrmAbout::BitBtn1Click()
{
    accept();
}
