// The program's icon: at the sizes of captions, menus and panels it is the
// picture drawn on whole pixels for that size, not the large picture scaled
// down; above them the large picture.

#include "app/ProgramIcon.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QtTest>

class tst_ProgramIcon : public QObject
{
    Q_OBJECT

private:
    static QImage comparable(const QImage& image)
    {
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }

private slots:
    void smallSizesAreTheirOwnPictures_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("caption, 16 px") << 16;
        QTest::newRow("panel, 22 px") << 22;
        QTest::newRow("toolbar, 24 px") << 24;
        QTest::newRow("menu, 32 px") << 32;
        QTest::newRow("launcher, 48 px") << 48;
    }

    void smallSizesAreTheirOwnPictures()
    {
        QFETCH(int, size);
        const QString path = QStringLiteral(":/icons/audimark-%1.png").arg(size);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const QImage drawn(path);
        QCOMPARE(drawn.size(), QSize(size, size));

        const QImage shown = ProgramIcon::icon().pixmap(QSize(size, size)).toImage();
        QCOMPARE(comparable(shown), comparable(drawn));
        // The large picture scaled down is something else.
        const QImage scaled =
            QImage(QStringLiteral(":/icons/audimark.png"))
                .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(comparable(shown) != comparable(scaled));
    }

    void largeSizesComeFromTheLargePicture()
    {
        const QIcon icon = ProgramIcon::icon();
        QCOMPARE(icon.pixmap(QSize(256, 256)).toImage().size(), QSize(256, 256));
        QCOMPARE(comparable(icon.pixmap(QSize(256, 256)).toImage()),
                 comparable(QImage(QStringLiteral(":/icons/audimark.png"))));
        QCOMPARE(icon.pixmap(QSize(64, 64)).size(), QSize(64, 64));
    }
};

QTEST_MAIN(tst_ProgramIcon)
#include "tst_programicon.moc"
