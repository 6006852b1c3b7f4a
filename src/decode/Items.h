#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

namespace kvu {

// One item of a reply. Most items are views into the reply text; a quoted item with doubled
// quote marks inside is kept as its own unescaped copy.
class Item
{
public:
    QStringView text() const { return owned_ ? QStringView(copy_) : view_; }

private:
    friend class ItemReader;
    QStringView view_;
    QString copy_;
    bool owned_ = false;
};

// Reads the items of a reply one after the other. "_" separates items, and so does any run of
// characters with codes 1 to 32; an item that starts with '"' runs to the matching closing '"'
// ("" inside stands for one) and is taken without its marks; a "_" that is the very last character
// gives one more, empty item. A NUL character ends the text. Each character is looked at a bounded
// number of times, so the work is linear in the length of the text.
class ItemReader
{
public:
    explicit ItemReader(QStringView text);

    // The next item, or false when the text is used up.
    bool next(Item &item);

private:
    void skipBlanks();

    QStringView text_;
    qsizetype pos_ = 0;
    bool trailingEmpty_ = false;
};

// The first items of a reply, for replies of a small fixed shape.
struct Items
{
    QVarLengthArray<Item, 20> list;
    // The text holds more items than were read.
    bool more = false;

    qsizetype size() const { return list.size(); }
    QStringView operator[](qsizetype i) const { return list[i].text(); }
    // The text holds exactly `count` items.
    bool exactly(qsizetype count) const { return !more && list.size() == count; }
};

// Reads at most `limit` items; `more` tells whether any further item follows.
Items SplitItems(QStringView text, qsizetype limit);

} // namespace kvu
