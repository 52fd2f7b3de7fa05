#include "app/devices/printerMib.h"

#include <algorithm>
#include <map>

namespace corvane {
namespace {

constexpr std::uint8_t tagInteger = 0x02, tagOctets = 0x04, tagNull = 0x05, tagOid = 0x06, tagSequence = 0x30;
constexpr std::uint8_t tagGetNext = 0xA1, tagResponse = 0xA2;
constexpr std::uint8_t tagCounter = 0x41, tagGauge = 0x42, tagTicks = 0x43;
constexpr std::size_t mostSupplies = 32;

const snmpOid suppliesEntry = {1, 3, 6, 1, 2, 1, 43, 11, 1, 1};
const snmpOid colorantValue = {1, 3, 6, 1, 2, 1, 43, 12, 1, 1, 4};
enum column : std::uint32_t { colorantIndex = 3, supplyClass = 4, supplyType = 5, description = 6, maxCapacity = 8, level = 9 };

using bytes = std::vector<std::uint8_t>;

void putLength(bytes& out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<std::uint8_t>(length));
    } else if (length <= 0xFF) {
        out.push_back(0x81);
        out.push_back(static_cast<std::uint8_t>(length));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(length));
    }
}

bytes tlv(std::uint8_t tag, const bytes& content) {
    bytes out;
    out.reserve(content.size() + 4);
    out.push_back(tag);
    putLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

bytes integer(long value) {
    bytes content;
    for (int shift = 56; shift > 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(value >> shift);
        const auto next = static_cast<std::uint8_t>(value >> (shift - 8));
        // Leading bytes that only repeat the sign are left out.
        if (content.empty() && ((byte == 0 && !(next & 0x80)) || (byte == 0xFF && (next & 0x80)))) continue;
        content.push_back(byte);
    }
    content.push_back(static_cast<std::uint8_t>(value));
    return tlv(tagInteger, content);
}

bytes oidBytes(const snmpOid& name) {
    bytes content;
    if (name.size() < 2) return tlv(tagOid, content);
    std::vector<std::uint32_t> arcs{name[0] * 40 + name[1]};
    arcs.insert(arcs.end(), name.begin() + 2, name.end());
    for (const std::uint32_t arc : arcs) {
        bytes groups;
        for (std::uint32_t rest = arc;; rest >>= 7) {
            groups.insert(groups.begin(), static_cast<std::uint8_t>((rest & 0x7F) | (groups.empty() ? 0 : 0x80)));
            if (rest < 0x80) break;
        }
        content.insert(content.end(), groups.begin(), groups.end());
    }
    return tlv(tagOid, content);
}

bytes joined(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// Reads one BER element after another.
struct berReader {
    std::span<const std::uint8_t> rest;

    struct element {
        std::uint8_t tag;
        std::span<const std::uint8_t> content;
    };
    std::optional<element> next() {
        if (rest.size() < 2) return std::nullopt;
        const std::uint8_t tag = rest[0];
        std::size_t length = rest[1], header = 2;
        if (length & 0x80) {
            const std::size_t count = length & 0x7F;
            if (count == 0 || count > 4 || rest.size() < 2 + count) return std::nullopt;
            length = 0;
            for (std::size_t i = 0; i < count; ++i) length = length << 8 | rest[2 + i];
            header += count;
        }
        if (rest.size() - header < length) return std::nullopt;
        element found{tag, rest.subspan(header, length)};
        rest = rest.subspan(header + length);
        return found;
    }
    std::optional<std::span<const std::uint8_t>> expect(std::uint8_t tag) {
        const auto found = next();
        if (!found || found->tag != tag) return std::nullopt;
        return found->content;
    }
};

std::optional<long> readInteger(std::span<const std::uint8_t> content, bool isSigned) {
    if (content.empty() || content.size() > 8) return std::nullopt;
    long value = isSigned && (content[0] & 0x80) ? -1 : 0;
    for (const std::uint8_t byte : content) value = static_cast<long>(static_cast<unsigned long>(value) << 8 | byte);
    return value;
}

std::optional<snmpOid> readOid(std::span<const std::uint8_t> content) {
    snmpOid name;
    std::uint64_t arc = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        arc = arc << 7 | (content[i] & 0x7F);
        if (arc > 0xFFFFFFFFu) return std::nullopt;
        if (content[i] & 0x80) continue;
        if (name.empty()) {
            const std::uint32_t first = std::min<std::uint32_t>(static_cast<std::uint32_t>(arc) / 40, 2);
            name = {first, static_cast<std::uint32_t>(arc - first * 40)};
        } else {
            name.push_back(static_cast<std::uint32_t>(arc));
        }
        arc = 0;
    }
    if (name.empty() || (!content.empty() && (content.back() & 0x80))) return std::nullopt;
    return name;
}

bool startsWith(const snmpOid& name, const snmpOid& prefix) {
    return name.size() > prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

// The values of one column, by the row index after it.
std::map<snmpOid, snmpBinding> walkColumn(const snmpOid& column,
                                          const std::function<std::optional<snmpResponse>(const snmpOid&)>& ask,
                                          bool& answered) {
    std::map<snmpOid, snmpBinding> rows;
    snmpOid at = column;
    while (rows.size() < mostSupplies) {
        const auto response = ask(at);
        if (!response) break;
        answered = true;
        if (response->errorStatus != 0 || response->bindings.empty()) break;
        const snmpBinding& found = response->bindings.front();
        // Out of the column, or an agent that does not move on.
        if (!startsWith(found.name, column) || found.name <= at) break;
        rows.emplace(snmpOid(found.name.begin() + static_cast<std::ptrdiff_t>(column.size()), found.name.end()), found);
        at = found.name;
    }
    return rows;
}

}  // namespace

std::vector<std::uint8_t> snmpGetNext(const snmpOid& name, std::int32_t requestId, const std::string& community) {
    const bytes binding = tlv(tagSequence, joined({oidBytes(name), tlv(tagNull, {})}));
    const bytes pdu = tlv(tagGetNext, joined({integer(requestId), integer(0), integer(0), tlv(tagSequence, binding)}));
    return tlv(tagSequence, joined({integer(0), tlv(tagOctets, bytes(community.begin(), community.end())), pdu}));
}

std::optional<snmpResponse> readSnmpResponse(std::span<const std::uint8_t> data) {
    berReader message{data};
    const auto body = message.expect(tagSequence);
    if (!body) return std::nullopt;
    berReader fields{*body};
    if (!fields.expect(tagInteger) || !fields.expect(tagOctets)) return std::nullopt;
    const auto pdu = fields.expect(tagResponse);
    if (!pdu) return std::nullopt;
    berReader parts{*pdu};
    const auto id = parts.expect(tagInteger), status = parts.expect(tagInteger), index = parts.expect(tagInteger);
    const auto list = parts.expect(tagSequence);
    if (!id || !status || !index || !list) return std::nullopt;
    snmpResponse response;
    response.requestId = static_cast<std::int32_t>(readInteger(*id, true).value_or(0));
    response.errorStatus = readInteger(*status, true).value_or(-1);
    berReader bindings{*list};
    while (const auto binding = bindings.next()) {
        if (binding->tag != tagSequence) return std::nullopt;
        berReader pair{binding->content};
        const auto name = pair.expect(tagOid);
        const auto value = pair.next();
        const auto parsed = name ? readOid(*name) : std::nullopt;
        if (!parsed || !value) return std::nullopt;
        snmpBinding found{*parsed, {}};
        if (value->tag == tagInteger) {
            if (const auto number = readInteger(value->content, true)) found.value = *number;
        } else if (value->tag == tagCounter || value->tag == tagGauge || value->tag == tagTicks) {
            if (const auto number = readInteger(value->content, false)) found.value = *number;
        } else if (value->tag == tagOctets) {
            found.value = std::string(value->content.begin(), value->content.end());
        }
        response.bindings.push_back(std::move(found));
    }
    return response;
}

std::vector<markerSupply> walkSupplies(const std::function<std::optional<snmpResponse>(const snmpOid&)>& ask) {
    bool answered = false;
    std::map<snmpOid, markerSupply> supplies;
    const auto columnOf = [&](column which) {
        snmpOid name = suppliesEntry;
        name.push_back(which);
        return walkColumn(name, ask, answered);
    };
    for (const auto& [row, binding] : columnOf(description))
        if (const auto* text = std::get_if<std::string>(&binding.value)) supplies[row].description = *text;
    if (!answered || supplies.empty()) return {};
    const auto number = [](const snmpBinding& binding) {
        const auto* value = std::get_if<long>(&binding.value);
        return value ? *value : -2;
    };
    std::map<snmpOid, long> colorantOf;
    for (const auto& [row, binding] : columnOf(colorantIndex)) colorantOf[row] = number(binding);
    for (const auto& [row, binding] : columnOf(supplyClass))
        if (supplies.count(row)) supplies[row].supplyClass = number(binding);
    for (const auto& [row, binding] : columnOf(supplyType))
        if (supplies.count(row)) supplies[row].type = number(binding);
    for (const auto& [row, binding] : columnOf(maxCapacity))
        if (supplies.count(row)) supplies[row].maxCapacity = number(binding);
    for (const auto& [row, binding] : columnOf(level))
        if (supplies.count(row)) supplies[row].level = number(binding);
    const auto colorants = walkColumn(colorantValue, ask, answered);
    std::vector<markerSupply> found;
    for (auto& [row, supply] : supplies) {
        // Rows are hrDeviceIndex.supplyIndex; colorants hrDeviceIndex.colorantIndex.
        if (row.size() == 2 && colorantOf.count(row) && colorantOf[row] > 0) {
            const auto colorant = colorants.find({row[0], static_cast<std::uint32_t>(colorantOf[row])});
            if (colorant != colorants.end())
                if (const auto* name = std::get_if<std::string>(&colorant->second.value)) supply.colorant = *name;
        }
        found.push_back(std::move(supply));
    }
    return found;
}

int supplyPercent(const markerSupply& supply) {
    if (supply.level == -3) return -3;
    if (supply.level < 0) return -1;
    long percent = -1;
    if (supply.maxCapacity > 0) percent = std::clamp(100 * supply.level / supply.maxCapacity, 0L, 100L);
    else if (supply.level <= 100) percent = supply.level;
    if (percent < 0) return -1;
    return static_cast<int>(supply.supplyClass == 4 ? 100 - percent : percent);
}

}  // namespace corvane
