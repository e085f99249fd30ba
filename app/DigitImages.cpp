#include "app/DigitImages.h"

// The resources live in a static library: their registration must be pulled
// in by name, from outside any namespace.
static void registerPanelResources()
{
    Q_INIT_RESOURCE(resources);
}

bool DigitImages::load()
{
    registerPanelResources();
    bool complete = true;
    for (int i = 0; i < Count; ++i) {
        images_[i] = QPixmap(QStringLiteral(":/digits/LCD%1.png").arg(i));
        complete = complete && images_[i].size() == ImageSize;
    }
    return complete;
}

const QPixmap& DigitImages::at(int index) const
{
    static const QPixmap none;
    return index >= 0 && index < Count ? images_[index] : none;
}
