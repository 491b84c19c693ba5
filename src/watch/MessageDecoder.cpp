// The table says what each field of a message is (MessageDecodingTable); the field and data
// texts say how each kind reads. Runs when a cell is shown or saved, never in the hook.
#include "watch/MessageDecoder.h"

#include "watch/MessageDataText.h"
#include "watch/MessageDecodingTable.h"
#include "watch/MessageFieldText.h"

namespace {
using Table = MessageDecodingTable;

struct Context {
    bool sixtyFour;
    FieldContext field;
    const MessageData* data;
};

// One parameter or the answer through its fields. `omitMissingData`: a field for data the hook
// did not copy says nothing (an answer), rather than showing the pointer (a parameter).
std::wstring Fields(const std::vector<Table::Field>& fields, uint64_t raw, const Context& context, bool omitMissingData)
{
    const int width = context.sixtyFour ? 64 : 32;
    raw &= WidthMask(width);
    std::wstring text;
    for (const Table::Field& field : fields) {
        uint64_t value = raw >> field.shift;
        int bits = width;
        if (field.mask != 0) {
            value &= field.mask;
            bits = field.bits != 0 ? field.bits : 64;
        }
        std::wstring shown;
        if (field.type == Table::Type::Data) {
            // A copy is read only as the kind the message carries: a record may say anything.
            const bool fits = (field.dataKinds & watch_ring::KindBit(context.data->kind)) != 0;
            shown = value == 0 && !omitMissingData ? L"NULL"
                    : fits                         ? DataText(*context.data, context.sixtyFour, context.field)
                                                   : std::wstring();
            if (shown.empty() && omitMissingData) continue;
            if (shown.empty()) shown = PointerText(value, context.sixtyFour);
        } else {
            shown = FieldText(field, value, bits, context.sixtyFour, context.field);
        }
        text = Join(text, field.label.empty() ? shown : field.label + L":" + shown);
    }
    return text;
}
// The rule of `name` as `qualifier` makes it mean more ("WM_COMMAND/Button",
// "WM_NOTIFY/NM_CUSTOMDRAW"), where the table has one; else the message's own.
const Table::Rule* RuleOf(const std::wstring& name, const std::wstring& qualifier)
{
    const Table::Rule* rule = qualifier.empty() ? nullptr : Table::Get().Find(name + L"/" + qualifier);
    return rule != nullptr ? rule : Table::Get().Find(name);
}
} // namespace

MessageDecoder::MessageDecoder(bool sixtyFour) : m_sixtyFour(sixtyFour) {}

std::wstring MessageDecoder::Parameters(const std::wstring& name, uint64_t wParam, uint64_t lParam,
                                        const MessageData& data, const std::wstring& windowClass,
                                        const std::wstring& controlClass) const
{
    // The control's class names a WM_COMMAND's codes.
    const Table::Rule* rule = RuleOf(name, controlClass);
    if (rule == nullptr) return std::wstring();
    const Context context{m_sixtyFour, {wParam, windowClass}, &data};
    return Join(Fields(rule->wParam, wParam, context, false), Fields(rule->lParam, lParam, context, false));
}

std::wstring MessageDecoder::Answer(const std::wstring& name, uint64_t result, const MessageData& answerData,
                                    const MessageData& sentData) const
{
    // The notification's code says what its answer means.
    const Table::Rule* rule = RuleOf(name, NotificationName(sentData, m_sixtyFour));
    if (rule == nullptr) return std::wstring();
    return Fields(rule->answer, result, {m_sixtyFour, {}, &answerData}, true);
}
