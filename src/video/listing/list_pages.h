// Each kind of list's requests to the site's interface and the reading of its answers.
#pragma once

#include <string>
#include <vector>

#include "net/json_object.h"
#include "video/listing/list_address.h"
#include "video/listing/list_entry.h"
#include "video/listing/wbi_signature.h"

namespace quivra {

// A request to the interface: path under the api address and its parameters (UTF-8).
struct ListQuery {
    std::string path;
    QueryParameters parameters;
    bool sign = false;  // under /wbi/: signed
};

// The request for page `number` (from 1) of the list.
ListQuery listPageQuery(const ListAddress& address, int number);
// The entries a page holds at most; 0 for a list the site gives in one answer.
int listPageSize(ListKind kind);
// The request of a series' name, which its pages do not carry.
ListQuery seriesNameQuery(const ListAddress& address);

struct ListPage {
    ListInfo info;  // what the answer says of the list (name, owner, total where given)
    std::vector<ListEntry> entries;
    bool last = false;  // the answer says no page follows
};

// One accepted answer (code 0) of the list. member: the account's membership, which
// decides whether a members-only episode can be downloaded.
ListPage readListPage(const ListAddress& address, const JsonObject& json, bool member);
// The series' name and count from the answer of seriesNameQuery.
void readSeriesName(const JsonObject& json, ListInfo& info);

}  // namespace quivra
