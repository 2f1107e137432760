#include "game/journalrecord.h"

#include <charconv>

namespace kestrova {

namespace {

class FieldWriter {
public:
    void add(int number) { add(std::to_string(number)); }
    void add(std::string_view text)
    {
        text_ += text;
        text_ += '*';
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : rest_(text) {}

    std::string_view nextText()
    {
        const auto star = rest_.find('*');
        const std::string_view field = rest_.substr(0, star);
        rest_ = star == std::string_view::npos ? std::string_view{} : rest_.substr(star + 1);
        return field;
    }

    int nextInt()
    {
        const std::string_view field = nextText();
        int value = 0;
        std::from_chars(field.data(), field.data() + field.size(), value);
        return value;
    }

    // Card values and slot numbers index tables: anything out of range is 0.
    int nextInRange(int highest)
    {
        const int value = nextInt();
        return value >= 0 && value <= highest ? value : 0;
    }

private:
    std::string_view rest_;
};

} // namespace

std::string formatJournalRecord(const JournalRecord& record)
{
    FieldWriter out;
    out.add(record.score);
    out.add(std::string_view(record.bonusText));
    out.add(record.dealpos);
    out.add(record.chain);
    out.add(record.drawcount);
    out.add(record.discard);
    for (int position = 1; position <= kCardCount; ++position)
        out.add(record.deck[position]);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        out.add(record.tableau[slot].value);
        out.add(record.tableau[slot].faceUp ? 1 : 0);
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        out.add(record.covers[slot].first);
        out.add(record.covers[slot].second);
    }
    return out.take();
}

JournalRecord parseJournalRecord(std::string_view text)
{
    FieldReader in(text);
    JournalRecord record;
    record.score = in.nextInt();
    record.bonusText = std::string(in.nextText());
    record.dealpos = in.nextInt();
    record.chain = in.nextInt();
    record.drawcount = in.nextInt();
    record.discard = in.nextInRange(kCardCount);
    for (int position = 1; position <= kCardCount; ++position)
        record.deck[position] = in.nextInRange(kCardCount);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        record.tableau[slot].value = in.nextInRange(kCardCount);
        record.tableau[slot].faceUp = in.nextInt() == 1;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        record.covers[slot].first = in.nextInRange(kSlotCount);
        record.covers[slot].second = in.nextInRange(kSlotCount);
    }
    return record;
}

} // namespace kestrova
