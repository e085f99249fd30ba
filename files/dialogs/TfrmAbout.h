#pragma once

// The About window: names the software and shows the program's version. At
// start-up the same window serves as the splash: its OK button hidden and
// its progress label Label4 showing what the start-up is doing.

#include <QDialog>

class QLabel;
class QPushButton;
class TVersionInfo;

class TfrmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr, const QString& versionResource = QString());

    // Hides the OK button, shows the window, waits (bounded, user input held
    // back) until the window system has exposed it and paints it before
    // returning, so it is visible while the start-up blocks the event loop.
    void showAsSplash();
    // Writes a progress text into Label4 and paints it at once.
    void setProgressText(const QString& text);

    [[nodiscard]] QString progressText() const;
    [[nodiscard]] QString versionText() const;

private:
    void BitBtn1Click();

    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    TVersionInfo* VersionInfo1 = nullptr;
};
