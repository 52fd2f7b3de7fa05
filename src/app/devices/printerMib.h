// The Printer MIB's supply table over SNMPv1: GetNext requests and their
// responses as bytes (BER), and the walk of the columns that describe each
// supply (prtMarkerSuppliesTable) with the colorant names beside them
// (prtMarkerColorantTable). Pure: the exchange of a request for a response
// is the caller's.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace corvane {

using snmpOid = std::vector<std::uint32_t>;

std::vector<std::uint8_t> snmpGetNext(const snmpOid& name, std::int32_t requestId, const std::string& community);

struct snmpBinding {
    snmpOid name;
    std::variant<std::monostate, long, std::string> value;  // integers of any kind, or octets
};
struct snmpResponse {
    std::int32_t requestId = 0;
    long errorStatus = 0;
    std::vector<snmpBinding> bindings;
};
// A GetResponse; nothing for anything else or malformed bytes.
std::optional<snmpResponse> readSnmpResponse(std::span<const std::uint8_t> bytes);

struct markerSupply {
    std::string description;
    std::string colorant;    // "black", "cyan", ... or empty
    long supplyClass = 0;    // 3: consumed, 4: a receptacle that fills (waste)
    long type = 0;           // prtMarkerSuppliesType: 3 toner, 4 waste toner, 9 drum (opc), ...
    long maxCapacity = -2;   // -1 other, -2 unknown
    long level = -2;         // -1 other, -2 unknown, -3 some left
};

// Walks the supply table with `ask` (one GetNext for the name given, or
// nothing when no answer came); at most 32 supplies. Empty when the first
// question goes unanswered.
std::vector<markerSupply> walkSupplies(const std::function<std::optional<snmpResponse>(const snmpOid&)>& ask);

// The level as a percentage for IPP (marker-levels): what is left of a
// supply that is used up, the room left in one that fills up; -1 unknown,
// -3 unknown but some left.
int supplyPercent(const markerSupply& supply);

}  // namespace corvane
