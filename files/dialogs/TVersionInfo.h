#pragma once

// The program's version as carried by the program file itself: a small
// resource compiled into the executable at build time (":/version/version.txt"
// holding "FileVersion=<version>"). Read once at construction; a program
// without version information, or one whose record names no FileVersion,
// gives an empty text.
//
// FileVersionLabel is the label that shows the text. It may be none; the
// component forgets the label when the label is destroyed.

#include <QLabel>
#include <QObject>
#include <QPointer>

class TVersionInfo : public QObject
{
    Q_OBJECT

public:
    static inline const QString DefaultResource = QStringLiteral(":/version/version.txt");

    explicit TVersionInfo(QObject* parent = nullptr, const QString& resourcePath = DefaultResource);

    [[nodiscard]] const QString& versionText() const { return versionText_; }
    [[nodiscard]] QLabel* FileVersionLabel() const { return label_; }

    // Stores the label and writes the version text into it at once.
    void SetFileVersionLabel(QLabel* label);
    // Called once the owning form is built: writes the text into the label,
    // if one is set.
    void Loaded();

    // The FileVersion value of a version record ("Key=Value" lines); empty
    // when there is none.
    [[nodiscard]] static QString fileVersionFrom(const QByteArray& record);

private:
    QString versionText_;
    QPointer<QLabel> label_;
};
