#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "net/json_object.h"
#include "net/json_text.h"
#include "net/text_encoding.h"

namespace quivra {
namespace {

JsonObject parsed(const std::string& text) {
    JsonObject json;
    json.parse(text);
    return json;
}

TEST(JsonObjectParse, FreshObjectIsEmptyObject) {
    JsonObject json;
    EXPECT_EQ(json.toText(), "{}");
    EXPECT_EQ(json.typeOf(""), 4);
}

TEST(JsonObjectParse, ResultAndRootState) {
    JsonObject json;
    EXPECT_FALSE(json.parse(""));
    EXPECT_EQ(json.toText(), "");  // missing root
    EXPECT_EQ(json.typeOf(""), 0);
    EXPECT_EQ(json.typeOf("x"), -1);

    EXPECT_FALSE(json.parse("null"));
    EXPECT_EQ(json.toText(), "null");

    EXPECT_FALSE(json.parse("{\"a\":"));
    EXPECT_EQ(json.toText(), "null");  // a syntax error leaves null, not the old document

    EXPECT_TRUE(json.parse(" [1,2] "));
    EXPECT_EQ(json.toText(), "[1,2]");
    EXPECT_TRUE(json.parse("false"));  // the root is a value, neither null nor missing
    EXPECT_TRUE(json.parse("0"));
}

TEST(JsonObjectParse, TopLevelStringIsReadAgainUnlessDirect) {
    JsonObject json;
    EXPECT_TRUE(json.parse("\"12\""));
    EXPECT_EQ(json.typeOf(""), 2);
    EXPECT_EQ(json.toText(), "12");

    EXPECT_TRUE(json.parse("\"[1,\\\"a\\\"]\""));
    EXPECT_EQ(json.toText(), "[1,\"a\"]");

    EXPECT_FALSE(json.parse("\"word\""));
    EXPECT_EQ(json.toText(), "null");
    EXPECT_FALSE(json.parse("\"{\\\"a\\\":1}\""));
    EXPECT_EQ(json.toText(), "null");

    EXPECT_FALSE(json.parse("\"\""));
    EXPECT_EQ(json.toText(), "");  // empty content: missing root

    EXPECT_TRUE(json.parse("\"word\"", true));
    EXPECT_EQ(json.toText(), "\"word\"");
    EXPECT_EQ(json.getText(), "word");
}

TEST(JsonObjectParse, BadInputGivesEmptyValues) {
    const std::vector<std::string> bodies = {
        "{\"code\":0,\"data\":{\"title\":\"abc",  // truncated
        "<html>502</html>",
        "{\"a\":\"\\ud800\"}",   // lone surrogate escape
        "{\"a\":\"\xff\xfe\"}",  // bytes that are no local text either
        "{\"a\":1}}",
        "[1,]",
    };
    for (const auto& body : bodies) {
        JsonObject json;
        json.parse(body);
        EXPECT_EQ(json.getText("code"), "") << body;
        EXPECT_EQ(json.valueText("code"), "") << body;
        EXPECT_EQ(json.count("data"), 0) << body;
    }
}

TEST(JsonObjectParse, DeepNestingIsRefusedWithoutCrashing) {
    // Run on a thread of ordinary stack size, as the callers do.
    std::thread worker([] {
        std::string deep(50 * 1024 * 1024, '[');
        JsonObject json;
        EXPECT_FALSE(json.parse(deep));
        EXPECT_EQ(json.toText(), "null");

        std::string closed = std::string(1000, '[') + std::string(1000, ']');
        EXPECT_TRUE(json.parse(closed));
        EXPECT_EQ(json.toText(), closed);
        EXPECT_EQ(json.getObject("[0]").toText().size(), closed.size() - 2);
        EXPECT_FALSE(json.parse("[" + closed + "]"));  // one level more than allowed
    });
    worker.join();
}

TEST(JsonObjectRead, SiteAnswerPaths) {
    JsonObject json = parsed(
        R"({"code":0,"data":{"mid":12,"level_info":{"current_level":5},"flag":true,)"
        R"("dash":{"video":[{"id":80,"baseUrl":"http://a/1"},{"id":64,"baseUrl":"http://a/2"}]},)"
        R"("name":"x","none":null}})");
    EXPECT_EQ(json.valueText("code"), "0");
    EXPECT_EQ(json.getText("data.mid"), "12");
    EXPECT_EQ(json.valueText("data['level_info']['current_level']"), "5");
    EXPECT_EQ(json.valueText("data[\"level_info\"].current_level"), "5");
    EXPECT_EQ(json.getText("data.dash.video[1].baseUrl"), "http://a/2");
    EXPECT_EQ(json.getText("data.dash.video[5].baseUrl"), "");
    EXPECT_EQ(json.getText("data.missing"), "");
    EXPECT_EQ(json.getText("none.x"), "");
    EXPECT_EQ(json.getText("data.flag"), "true");
    EXPECT_EQ(json.getJson("data.flag"), "true");
    EXPECT_EQ(json.getJson("data.name"), "\"x\"");
    EXPECT_EQ(json.getJson("data.none"), "null");
    EXPECT_EQ(json.getJson("data.missing"), "");
    EXPECT_EQ(json.getText("data.level_info"), "[object Object]");
    EXPECT_EQ(json.valueText("data.missing"), "");
    EXPECT_EQ(json.valueText("data.none"), "null");
}

TEST(JsonObjectRead, FollowableMissingAndNull) {
    JsonObject json = parsed(R"({"a":{"b":null,"arr":[1]},"s":"text"})");
    EXPECT_EQ(json.typeOf("a.c"), 0);     // missing last member
    EXPECT_EQ(json.typeOf("a.b"), 0);     // null
    EXPECT_EQ(json.typeOf("a.b.c"), -1);  // step on null
    EXPECT_EQ(json.typeOf("x.y"), -1);    // step on missing
    EXPECT_EQ(json.typeOf("a.arr[3].x"), -1);
    EXPECT_EQ(json.typeOf("s.length2"), 0);  // a primitive has no such member
    EXPECT_EQ(json.typeOf("a.arr"), 5);
    EXPECT_EQ(json.typeOf("s"), 6);
    EXPECT_FALSE(json.exists("a.b"));
    EXPECT_FALSE(json.exists("a.c"));
    EXPECT_TRUE(json.exists("a.arr[0]"));
}

TEST(JsonObjectRead, PathForms) {
    JsonObject json = parsed(R"([{"name":"first","da":{"x":1}},{"name":"second"}])");
    EXPECT_EQ(json.getText("[0].name"), "first");
    EXPECT_EQ(json.getText("[1]['name']"), "second");
    EXPECT_EQ(json.getText("da[1].name"), "second");  // "da" names the root
    EXPECT_EQ(json.typeOf("da"), 5);

    JsonObject object = parsed(R"({"da":{"x":"inner"},"x":"outer","data":{"x":"d"}})");
    EXPECT_EQ(object.getText("da.x"), "outer");  // the root's own x wins
    EXPECT_EQ(object.getText("data.x"), "d");    // "data" is a member, not da + "ta"
    JsonObject onlyMember = parsed(R"({"da":{"y":"inner"}})");
    EXPECT_EQ(onlyMember.getText("da.y"), "inner");  // root.y is missing: relative

    std::string path = "data.x";
    EXPECT_TRUE(object.resolvePath(path));
    EXPECT_EQ(path, "da.data.x");
    path = "[0]";
    EXPECT_FALSE(object.resolvePath(path));
    EXPECT_EQ(path, "da[0]");
    path = "";
    EXPECT_TRUE(object.resolvePath(path));
    EXPECT_EQ(path, "da");
}

TEST(JsonObjectRead, MalformedPathsAndIndexes) {
    JsonObject json = parsed(R"({"a":[10,20],"b":{"-1":"neg","0":"zero"}})");
    for (const std::string path :
         {"a[0", "a['x", "a[\"x]", "a.", "a..b", ".a", "a[x]", "a]", "a[0]]", "a b", "a.0"}) {
        EXPECT_EQ(json.getText(path), "") << path;
        EXPECT_EQ(json.typeOf(path), -1) << path;
        EXPECT_FALSE(json.setValue(path, "v")) << path;
    }
    EXPECT_EQ(json.getText("a[-1]"), "");
    EXPECT_EQ(json.getText("a[99999999999999999999]"), "");
    EXPECT_EQ(json.getText("a[ 1 ]"), "20");
    EXPECT_EQ(json.getText("a['1']"), "20");
    EXPECT_EQ(json.getText("b[-1]"), "neg");
    EXPECT_EQ(json.getText("b[0]"), "zero");
    EXPECT_EQ(json.getItemText(-1, "a"), "");
    EXPECT_EQ(json.getItemObject(2147483647, "a").toText(), "");
    EXPECT_FALSE(json.setItem(2000000000, "a", "x"));
    EXPECT_EQ(json.count("a"), 2);
}

TEST(JsonObjectRead, NumberText) {
    JsonObject json = parsed(
        R"({"big":1e21,"below":999999999999999900000,"half":0.5,"neg":-2,"small":1e-7,)"
        R"("tiny":0.000001,"frac":123.456,"huge":9007199254740993,"exp":1.5e300,"negz":-0.0,)"
        R"("i64":-9223372036854775808,"third":0.3333333333333333})");
    EXPECT_EQ(json.valueText("big"), "1e+21");
    EXPECT_EQ(json.valueText("below"), "999999999999999900000");
    EXPECT_EQ(json.valueText("half"), "0.5");
    EXPECT_EQ(json.valueText("neg"), "-2");
    EXPECT_EQ(json.valueText("small"), "1e-7");
    EXPECT_EQ(json.valueText("tiny"), "0.000001");
    EXPECT_EQ(json.valueText("frac"), "123.456");
    EXPECT_EQ(json.valueText("huge"), "9007199254740992");
    EXPECT_EQ(json.valueText("exp"), "1.5e+300");
    EXPECT_EQ(json.valueText("negz"), "0");
    EXPECT_EQ(json.valueText("i64"), "-9223372036854776000");
    EXPECT_EQ(json.getText("third"), "0.3333333333333333");

    json.setNumber("nan", std::nan(""));
    json.setNumber("inf", INFINITY);
    EXPECT_EQ(json.getJson("nan"), "null");
    EXPECT_EQ(json.getText("inf"), "Infinity");
    EXPECT_EQ(json.getJson("inf"), "null");
    json.setNumber("n", -1.25e-10);
    EXPECT_EQ(json.getText("n"), "-1.25e-10");
}

TEST(JsonObjectRead, GetObjectCopiesAndReadsStringsAgain) {
    JsonObject json = parsed(R"({"num":"42","word":"abc","empty":"","arr":"[1,2]","o":{"k":[1]}})");
    EXPECT_EQ(json.valueText("num"), "42");
    EXPECT_EQ(json.getObject("num").typeOf(""), 2);
    EXPECT_EQ(json.valueText("word"), "null");
    EXPECT_EQ(json.valueText("empty"), "");
    EXPECT_EQ(json.getObject("arr").count(""), 2);
    JsonObject inner = json.getObject("o");
    EXPECT_TRUE(inner.setValue("k2", "v"));
    EXPECT_EQ(json.getJson("o"), "{\"k\":[1]}");  // a copy, not a view
    JsonObject shared = json;
    shared.setValue("added", "1");
    EXPECT_EQ(json.getText("added"), "1");  // a copied handle shares the document
}

TEST(JsonObjectRead, PlainTextOfArrays) {
    JsonObject json = parsed(R"({"a":[1,"x",null,[true,[2.5]],{"k":1}],"c":{"x":1}})");
    EXPECT_EQ(json.getText("a"), "1,x,,true,2.5,[object Object]");
    EXPECT_EQ(json.count("a"), 5);
    EXPECT_EQ(json.count("c"), 0);
    EXPECT_EQ(json.count("a[1]"), 0);
    EXPECT_EQ(json.count("zzz"), 0);
    EXPECT_EQ(json.getItemText(1, "a"), "x");
    EXPECT_EQ(json.getItemText(0, "a"), "");  // not a string
    EXPECT_EQ(json.getItemText(0, "a", true), "1");
    EXPECT_EQ(json.getItemObject(3, "a").toText(), "[true,[2.5]]");
}

TEST(JsonObjectRead, GetNumber) {
    JsonObject json =
        parsed(R"({"n":2.5,"s":" 17 ","hex":"0x1A","t":true,"f":false,"w":"12abc","e":"","o":{}})");
    EXPECT_EQ(json.getNumber("n"), 2.5);
    EXPECT_EQ(json.getNumber("s"), 17);
    EXPECT_EQ(json.getNumber("hex"), 26);
    EXPECT_EQ(json.getNumber("t"), -1);
    EXPECT_EQ(json.getNumber("f"), 0);
    EXPECT_EQ(json.getNumber("w"), 0);
    EXPECT_EQ(json.getNumber("e"), 0);
    EXPECT_EQ(json.getNumber("o"), 0);
    EXPECT_EQ(json.getNumber("missing.x"), 0);
}

TEST(JsonObjectText, LocalTextInAndOut) {
    const std::string title = localText("标题 ☃");  // the snowman has no GBK form
    JsonObject json;
    ASSERT_TRUE(json.parse(localText("{\"标题\":\"中文 ☃\",\"名\":[\"甲\",\"乙\"]}")));
    EXPECT_EQ(json.getText(localText("标题")), localText("中文 ?"));
    EXPECT_EQ(json.getText(localText("名[1]")), localText("乙"));
    EXPECT_TRUE(json.setValue("t", localText("下载完成")));
    EXPECT_EQ(json.getText("t"), localText("下载完成"));
    EXPECT_EQ(localToUtf8(json.getJson("t")), "\"下载完成\"");
    EXPECT_FALSE(title.empty());
}

TEST(JsonObjectText, RunWiseConversionEqualsWholeConversion) {
    // Mixed ASCII, double-byte characters, lone lead bytes and trail bytes in ASCII range.
    const std::string alphabet =
        std::string("a\\\"\n ") + localText("中文") + "\x81\x62\x80\xff\xfe@";
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        size_t length = random() % 24;
        for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        ASSERT_EQ(jsonTextFromLocal(text), localToUtf8(text)) << round;
    }
}

TEST(JsonObjectText, BackslashPlaceholder) {
    JsonObject json;
    ASSERT_TRUE(json.setValue("p", "C:\\dir\\x\\u0041"));
    EXPECT_EQ(json.getText("p"), "C:\\dir\\x\\u0041");
    EXPECT_EQ(json.toText(), "{\"p\":\"C:\\dir\\x\\u0041\"}");  // written raw, not escaped
    EXPECT_EQ(json.getJson("p"), "\"C:\\dir\\x\\u0041\"");
    std::vector<std::string> values;
    ASSERT_EQ(json.allValues(values), 1);
    EXPECT_EQ(values[0], "C:?dir?x?u0041");  // handed out without the placeholder step

    // A read-back through getObject parses that raw text again.
    JsonObject inner = json.getObject("");
    EXPECT_EQ(inner.toText(), "null");  // "\d" is no JSON escape
    JsonObject escaped;
    escaped.setValue("q", "a\\u0041");
    EXPECT_EQ(escaped.getObject("").getText("q"), "aA");

    // Parsed backslash escapes are real characters, written escaped.
    JsonObject plain = parsed(R"({"p":"a\\b\"c\n"})");
    EXPECT_EQ(plain.getText("p"), "a\\b\"c\n");
    EXPECT_EQ(plain.toText(), R"({"p":"a\\b\"c\n"})");
}

TEST(JsonObjectText, WriterEscapes) {
    JsonObject json;
    json.setRaw(
        "s",
        R"("\u0000\u0001\b\t\n\f\r\u007f\u0085\u00ad\u0601\u070f\u17b4\u200d\u2028\u2060\ufeff\ufff5\u00e9\u4e2d/")");
    std::string expected =
        R"({"s":"\u0000\u0001\b\t\n\f\r\u007f\u0085\u00ad\u0601\u070f\u17b4\u200d\u2028\u2060\ufeff\ufff5)";
    expected += localText("é中") + "/\"}";
    EXPECT_EQ(json.toText(), expected);
}

TEST(JsonObjectWrite, SetValueAndMerge) {
    JsonObject json =
        parsed(R"({"o":{"s":"x","b":true,"n":1,"arr":[1],"sub":{"k":1},"nul":null}})");
    EXPECT_TRUE(json.setValue(
        "o", R"({"s":"y","b":false,"n":2,"arr":[2,3],"sub":{"k2":2},"new":1})", true));
    EXPECT_EQ(json.getJson("o"),
              R"({"s":"y","b":false,"n":2,"arr":[1,2,3],"sub":{"k":1,"k2":2},"nul":null,"new":1})");
    // A null target member fails the merge and leaves the object as it was.
    EXPECT_FALSE(json.setValue("o", R"({"s":"z","nul":{"a":1}})", true));
    EXPECT_EQ(json.getText("o.s"), "y");
    // An array target member takes only arrays.
    EXPECT_FALSE(json.setValue("o", R"({"arr":{"a":1}})", true));

    EXPECT_TRUE(json.setValue("e", "", true));
    EXPECT_EQ(json.getJson("e"), "{}");
    EXPECT_TRUE(json.setValue("o.arr", "[9]", true));  // not an object: replaced
    EXPECT_EQ(json.getJson("o.arr"), "[9]");
    EXPECT_FALSE(json.setValue("o", "{bad", true));
    EXPECT_FALSE(json.setValue("missing.child", "x"));
    EXPECT_FALSE(json.setValue("o.s.deeper", "x"));
    EXPECT_TRUE(json.setValue("", "[1]", true));
    EXPECT_EQ(json.toText(), "[1]");
    EXPECT_TRUE(json.setValue("[3]", "z"));
    EXPECT_EQ(json.toText(), "[1,null,null,\"z\"]");
    EXPECT_TRUE(json.setRaw("[0]", "{\"x\":[]}"));
    EXPECT_EQ(json.toText(), "[{\"x\":[]},null,null,\"z\"]");
    EXPECT_FALSE(json.setRaw("[0]", "nope"));
    EXPECT_TRUE(json.clear());
    EXPECT_EQ(json.toText(), "{}");
}

TEST(JsonObjectWrite, ItemOperations) {
    JsonObject json;
    EXPECT_TRUE(json.addItem("a\\tb", "list"));  // escapes in the value are interpreted
    EXPECT_TRUE(json.addItem("{\"k\":1}", "list", true));
    EXPECT_TRUE(json.addItem("first", "list", false, true));
    EXPECT_EQ(json.getJson("list"), "[\"first\",\"a\\tb\",{\"k\":1}]");
    EXPECT_FALSE(json.addItem("it's", "list"));
    EXPECT_FALSE(json.addItem("line\nbreak", "list"));
    EXPECT_FALSE(json.addItem("ends\\", "list"));
    EXPECT_FALSE(json.addItem("x", "no.parent"));
    EXPECT_EQ(json.count("list"), 3);

    json.setValue("s", "text");
    EXPECT_TRUE(json.addItem("1", "s", true));  // a non-array is replaced by an array
    EXPECT_EQ(json.getJson("s"), "[1]");

    EXPECT_TRUE(json.setItem(1, "list", "B"));
    EXPECT_TRUE(json.setItem(4, "list", "[true]", true));
    EXPECT_EQ(json.getJson("list"), "[\"first\",\"B\",{\"k\":1},null,[true]]");
    EXPECT_FALSE(json.setItem(-1, "list", "x"));
    EXPECT_FALSE(json.setItem(0, "nothing", "x"));

    EXPECT_TRUE(json.removeItem(0, "list"));
    EXPECT_FALSE(json.removeItem(10, "list"));
    EXPECT_FALSE(json.removeItem(0, "list[1]"));
    EXPECT_EQ(json.getJson("list"), "[\"B\",{\"k\":1},null,[true]]");

    EXPECT_TRUE(json.remove("list[1]"));
    EXPECT_EQ(json.getJson("list"), "[\"B\",null,null,[true]]");
    EXPECT_TRUE(json.remove("s"));
    EXPECT_TRUE(json.remove("s"));  // already gone
    EXPECT_FALSE(json.remove("x.y"));
    EXPECT_FALSE(json.remove(""));
    EXPECT_EQ(json.typeOf("s"), 0);
}

TEST(JsonObjectWrite, MemberNamesAndAllValues) {
    JsonObject json = parsed(localText(
        R"({"a":"1","b\r\nc":2,"n":null,"o":{"x":true,"y":[3,"4"]},"t":"q[2020年7月20日20时0分0秒]r","last":""})"));
    std::vector<std::string> names = {"stale"};
    EXPECT_EQ(json.memberNames(names), 7);  // the CR LF name arrives split
    EXPECT_EQ(names[1], "b");
    EXPECT_EQ(names[2], "c");
    EXPECT_EQ(json.memberNames(names, "a"), 0);
    EXPECT_TRUE(names.empty());

    std::vector<std::string> values;
    EXPECT_EQ(json.allValues(values), 4);  // the trailing empty text is lost, "t" splits
    EXPECT_EQ(values, (std::vector<std::string>{"1", "2", "q", "r"}));
    EXPECT_EQ(json.allValues(values, "", true), 7);
    EXPECT_EQ(values, (std::vector<std::string>{"1", "2", "true", "3", "4", "q", "r"}));
    EXPECT_EQ(json.allValues(values, "o.y"), 2);

    JsonObject single = parsed(R"([""])");
    EXPECT_EQ(single.allValues(values), 0);
    JsonObject middle = parsed(R"(["", "a"])");
    EXPECT_EQ(middle.allValues(values), 2);
}

}  // namespace
}  // namespace quivra
