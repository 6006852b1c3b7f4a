#include "decode/Items.h"

namespace kvu {

namespace {

inline bool isBlank(QChar c)
{
    return c.unicode() <= 32;
}

} // namespace

ItemReader::ItemReader(QStringView text) : text_(text)
{
    // The panels write C strings: nothing after a NUL belongs to the reply. Cutting here also keeps
    // a NUL from being read as an endless run of empty items.
    const qsizetype nul = text_.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text_ = text_.first(nul);
    skipBlanks();
}

void ItemReader::skipBlanks()
{
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
}

bool ItemReader::next(Item &item)
{
    item.owned_ = false;
    item.view_ = {};
    if (trailingEmpty_) {
        trailingEmpty_ = false;
        return true;
    }
    const qsizetype size = text_.size();
    if (pos_ >= size)
        return false;

    if (text_[pos_] == u'"') {
        const qsizetype start = pos_ + 1;
        qsizetype end = size;
        bool doubled = false;
        qsizetype from = start;
        pos_ = size;
        while (from < size) {
            const qsizetype q = text_.indexOf(u'"', from);
            if (q < 0)
                break;
            if (q + 1 < size && text_[q + 1] == u'"') {
                doubled = true;
                from = q + 2;
                continue;
            }
            end = q;
            pos_ = q + 1;
            break;
        }
        const QStringView inner = text_.sliced(start, end - start);
        if (doubled) {
            item.copy_.clear();
            item.copy_.reserve(inner.size());
            for (qsizetype i = 0; i < inner.size(); ++i) {
                item.copy_.append(inner[i]);
                if (inner[i] == u'"' && i + 1 < inner.size() && inner[i + 1] == u'"')
                    ++i;
            }
            item.owned_ = true;
        } else {
            item.view_ = inner;
        }
    } else {
        const qsizetype start = pos_;
        while (pos_ < size && !isBlank(text_[pos_]) && text_[pos_] != u'_')
            ++pos_;
        item.view_ = text_.sliced(start, pos_ - start);
    }

    skipBlanks();
    if (pos_ < size && text_[pos_] == u'_') {
        if (pos_ == size - 1)
            trailingEmpty_ = true;
        ++pos_;
        skipBlanks();
    }
    return true;
}

Items SplitItems(QStringView text, qsizetype limit)
{
    Items items;
    ItemReader reader(text);
    Item item;
    while (reader.next(item)) {
        if (items.list.size() >= limit) {
            items.more = true;
            break;
        }
        items.list.append(item);
    }
    return items;
}

} // namespace kvu
