#include "app/windowstate/LayoutWidth.h"

#include <QByteArray>
#include <QDataStream>
#include <QList>
#include <QSplitter>

namespace {

QSplitter *HorizontalSplitterOf(const QWidget &widget)
{
    auto *splitter = qobject_cast<QSplitter *>(widget.parentWidget());
    return splitter && splitter->orientation() == Qt::Horizontal ? splitter : nullptr;
}

// The sizes the splitter gives its panes when it lays them out. QSplitter::sizes() reports the
// panes' current geometry instead, which is meaningless before the first layout; the saved state
// (a marker, a version, then the sizes) is the only public way to the splitter's own record.
QList<int> PaneSizes(const QSplitter &splitter)
{
    const QByteArray state = splitter.saveState();
    QDataStream stream(state);
    stream.setVersion(QDataStream::Qt_5_0);
    qint32 marker = 0;
    qint32 version = 0;
    QList<int> sizes;
    stream >> marker >> version >> sizes;
    return sizes.size() == splitter.count() ? sizes : splitter.sizes();
}

} // namespace

int LayoutWidth(const QWidget &widget)
{
    const QSplitter *splitter = HorizontalSplitterOf(widget);
    if (!splitter)
        return widget.width();
    return PaneSizes(*splitter).at(splitter->indexOf(const_cast<QWidget *>(&widget)));
}

void SetLayoutWidth(QWidget &widget, int width)
{
    QSplitter *splitter = HorizontalSplitterOf(widget);
    if (!splitter) {
        widget.resize(width, widget.height());
        return;
    }
    QList<int> sizes = PaneSizes(*splitter);
    const int index = splitter->indexOf(&widget);
    const int neighbour = index > 0 ? index - 1 : index + 1;
    if (neighbour < sizes.size())
        sizes[neighbour] += sizes[index] - width;
    sizes[index] = width;
    splitter->setSizes(sizes);
}
