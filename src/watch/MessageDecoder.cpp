// PLACEHOLDER until the decoding table lands: decodes nothing.
#include "watch/MessageDecoder.h"

MessageDecoder::MessageDecoder(bool sixtyFour) : m_sixtyFour(sixtyFour) {}

std::wstring MessageDecoder::Parameters(const std::wstring&, uint64_t, uint64_t, const MessageData&) const
{
    return m_sixtyFour ? std::wstring() : std::wstring();
}

std::wstring MessageDecoder::Answer(const std::wstring&, uint64_t, const MessageData&) const
{
    return std::wstring();
}
