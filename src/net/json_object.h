// A parsed JSON document read by path. Texts in and out are local text (GBK).
// No operation throws; each returns its empty value (false, "", 0) on failure.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quivra {

// False when a JSON text (UTF-8) nests arrays and objects deeper than parse accepts.
bool jsonNestingWithinLimit(std::string_view text);

class JsonObject {
  public:
    JsonObject();

    bool parse(const std::string& text, bool direct = false);
    // The site's answer as sent (UTF-8), for reading its texts with getUtf8.
    bool parseUtf8(const std::string& utf8);
    // The text at path as the document holds it (UTF-8), "" when there is none.
    std::string getUtf8(const std::string& path) const;
    bool clear();
    std::string toText() const;
    bool setValue(const std::string& path, const std::string& value, bool asJson = false);
    bool setRaw(const std::string& path, const std::string& jsonText);
    bool resolvePath(std::string& path) const;
    bool exists(const std::string& path) const;
    int typeOf(const std::string& path) const;
    std::string getText(const std::string& path = "", bool asJson = false) const;
    int memberNames(std::vector<std::string>& names, const std::string& path = "") const;
    int count(const std::string& path = "") const;
    JsonObject getObject(const std::string& path = "") const;
    bool addItem(const std::string& value, const std::string& path = "", bool asJson = false,
                 bool atFront = false);
    JsonObject getItemObject(int index, const std::string& path = "") const;
    std::string getItemText(int index, const std::string& path = "", bool asJson = false) const;
    bool setItem(int index, const std::string& path, const std::string& value, bool asJson = false);
    bool removeItem(int index, const std::string& path = "");
    bool remove(const std::string& path);
    bool setNumber(const std::string& path, double number);
    double getNumber(const std::string& path = "") const;
    std::string getJson(const std::string& path = "") const;
    int allValues(std::vector<std::string>& values, const std::string& path = "",
                  bool recursive = false) const;

    // Shorthand used everywhere the site's numbers are read: getObject(path).toText().
    std::string valueText(const std::string& path) const;

  private:
    struct Document;
    std::shared_ptr<Document> document_;  // copies share one document
};

}  // namespace quivra
