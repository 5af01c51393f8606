#include "split/read_digest.h"

#include <algorithm>

namespace qs {
namespace {

constexpr std::size_t kTailBytes = 4096;

class DigestingReadHandle : public ReadHandle {
public:
    DigestingReadHandle(std::shared_ptr<ReadHandle> in, ReadDigest& digest)
        : m_in(std::move(in)), m_digest(digest) {
        m_digest.ReadBy(m_in);
    }

    std::int64_t Length() override {
        const std::int64_t length = m_in->Length();
        m_digest.Length(length);
        return length;
    }
    bool Seek(std::int64_t position) override {
        if (!m_in->Seek(position)) {
            return false;
        }
        m_position = position;
        return true;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        const std::int64_t got = m_in->Read(buffer, size);
        if (got > 0) {
            m_digest.Noted(m_position, std::string_view(buffer, static_cast<std::size_t>(got)));
            m_position += got;
        } else if (got == 0 && size > 0) {
            m_digest.AtEnd(m_position);
        }
        return got;
    }
    std::optional<FileId> Identity() override { return m_in->Identity(); }

private:
    std::shared_ptr<ReadHandle> m_in;
    ReadDigest& m_digest;
    std::int64_t m_position = 0;
};

}  // namespace

void ReadDigest::Noted(std::int64_t position, std::string_view bytes) {
    const auto end = position + static_cast<std::int64_t>(bytes.size());
    if (position > m_size || end <= m_size) {
        return;  // past what was read in order, or read before
    }
    bytes.remove_prefix(static_cast<std::size_t>(m_size - position));
    if (m_sha) {
        m_sha->Add(bytes);
    }
    m_size = end;
    m_tail += bytes.substr(bytes.size() - std::min(bytes.size(), kTailBytes));
    if (m_tail.size() > kTailBytes) {
        m_tail.erase(0, m_tail.size() - kTailBytes);
    }
}

std::optional<SourceDigest> ReadDigest::Finish() {
    std::string sha256 = m_sha ? m_sha->Hex() : std::string();
    if ((m_sha && sha256.empty()) || !(m_ended || m_size == m_length)) {
        return std::nullopt;
    }
    return SourceDigest{m_size, std::move(sha256), std::move(m_tail)};
}

std::unique_ptr<ReadHandle> DigestReading(std::unique_ptr<ReadHandle> in, ReadDigest* digest) {
    if (!in || !digest) {
        return in;
    }
    return std::make_unique<DigestingReadHandle>(std::move(in), *digest);
}

}  // namespace qs
