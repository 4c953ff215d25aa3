// The media server: ranges, real streams per quality, pacing, faults, the connection cap,
// and a large file fetched in parallel ranges.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <thread>

#include "site_client.h"

namespace devsite_test {
namespace {

class MediaTest : public SiteTest {};

const std::string kOnePart = devsite::kOnePartBvid;
const std::string kVideo80 = kOnePart + "-3001-80.m4s";
const std::string kAudio = kOnePart + "-3001-30232.m4s";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string runAndRead(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        ::pclose(pipe);
    }
    return out;
}

TEST_F(MediaTest, RangesAreAnsweredExactly) {
    const std::string whole = readFile(site().mediaPath(kVideo80));
    ASSERT_GT(whole.size(), 1000u);
    const std::string size = std::to_string(whole.size());
    auto c = client();

    auto full = c.Get("/media/" + kVideo80);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->status, 200);
    EXPECT_EQ(full->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_EQ(full->body, whole);

    auto head = c.Head("/media/" + kVideo80);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), size);
    EXPECT_TRUE(head->body.empty());

    auto middle = c.Get("/media/" + kVideo80, {{"Range", "bytes=100-199"}});
    EXPECT_EQ(middle->status, 206);
    EXPECT_EQ(middle->get_header_value("Content-Range"), "bytes 100-199/" + size);
    EXPECT_EQ(middle->body, whole.substr(100, 100));

    auto open = c.Get("/media/" + kVideo80, {{"Range", "bytes=900-"}});
    EXPECT_EQ(open->body, whole.substr(900));
    auto tail = c.Get("/media/" + kVideo80, {{"Range", "bytes=-50"}});
    EXPECT_EQ(tail->get_header_value("Content-Range"),
              "bytes " + std::to_string(whole.size() - 50) + "-" +
                  std::to_string(whole.size() - 1) + "/" + size);
    EXPECT_EQ(tail->body, whole.substr(whole.size() - 50));
    auto beyondEnd = c.Get("/media/" + kVideo80, {{"Range", "bytes=10-99999999999"}});
    EXPECT_EQ(beyondEnd->body, whole.substr(10));

    auto unsatisfiable = c.Get("/media/" + kVideo80, {{"Range", "bytes=" + size + "-"}});
    EXPECT_EQ(unsatisfiable->status, 416);
    EXPECT_EQ(unsatisfiable->get_header_value("Content-Range"), "bytes */" + size);
}

TEST_F(MediaTest, UnknownAndFailingStreamsAre404) {
    auto c = client();
    EXPECT_EQ(c.Get("/media/" + kOnePart + "-9999-80.m4s")->status, 404);  // no such part
    EXPECT_EQ(c.Get("/media/" + kOnePart + "-3001-81.m4s")->status, 404);  // no such stream
    EXPECT_EQ(c.Get("/media/" + kOnePart + "-3001-80.mp4")->status, 404);
    const Json info =
        getJson(std::string("/x/web-interface/view?bvid=") + devsite::kFailingStreamsBvid);
    const Json streams = getJson("/x/player/playurl?cid=" + info["data"]["cid"].dump() +
                                 "&bvid=" + devsite::kFailingStreamsBvid + "&fourk=1&fnval=80");
    const std::string url = streams["data"]["dash"]["video"][0]["baseUrl"];
    EXPECT_EQ(c.Get(url.substr(url.find("/media/")))->status, 404);
    EXPECT_TRUE(site().mediaPath(url.substr(url.rfind('/') + 1)).empty());
}

TEST_F(MediaTest, StreamsMergeIntoAPlayableMp4OfTheirQuality) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("devsite-merge-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string video = (folder / "v.m4s").string(), audio = (folder / "a.m4s").string();
    const std::string out = (folder / "out.mp4").string();
    std::ofstream(video, std::ios::binary)
        << client().Get("/media/" + kOnePart + "-3001-16.m4s")->body;
    std::ofstream(audio, std::ios::binary) << client().Get("/media/" + kAudio)->body;
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -i '" + video + "' -i '" + audio +
                           "' -c copy '" + out + "'")
                              .c_str()),
              0);
    const std::string streams = runAndRead(
        "ffprobe -v error -show_entries stream=codec_type,codec_name,width,height -of csv=p=0 '" +
        out + "'");
    EXPECT_EQ(streams, "h264,video,256,144\naac,audio\n");
    const std::string hd = site().mediaPath(kOnePart + "-3001-120.m4s");
    EXPECT_EQ(
        runAndRead("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + hd + "'"),
        "1280,720\n");
    std::filesystem::remove_all(folder);
}

TEST_F(MediaTest, EveryListedStreamIsARealFileOfItsCodecAndSize) {
    const std::string query =
        std::string("/x/player/playurl?cid=6201&bvid=") + devsite::kCodecsBvid + "&fourk=1&fnval=";
    struct Case {
        const char* fnval;
        std::set<int> qualities;
        std::set<int> codecIds;
    };
    const Case cases[] = {{"80", {125, 120, 116, 80, 64, 32, 16}, {7, 12}},
                          {"2128", {125, 120, 116, 80, 64, 32, 16}, {7, 12, 13}},
                          {"3152", {127, 125, 120, 116, 80, 64, 32, 16}, {7, 12, 13}},
                          {"592", {126, 125, 120, 116, 80, 64, 32, 16}, {7, 12}}};
    const std::map<int, std::string> names = {{7, "h264"}, {12, "hevc"}, {13, "av1"}};
    for (const Case& c : cases) {
        const Json data = getJson(query + c.fnval, {{"Cookie", devsite::kMemberCookie}})["data"];
        std::set<int> qualities, codecIds;
        for (const Json& stream : data["dash"]["video"]) {
            qualities.insert(stream["id"].get<int>());
            codecIds.insert(stream["codecid"].get<int>());
            // Probing takes a while: the 8K, Dolby Vision, the HDR and one quality in every
            // codec.
            if (!std::set<int>{127, 126, 125, 80}.contains(stream["id"].get<int>())) continue;
            const std::string url = stream["baseUrl"];
            const std::string path = site().mediaPath(url.substr(url.rfind('/') + 1));
            const std::string probed = runAndRead(
                "ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                path + "'");
            EXPECT_EQ(probed, names.at(stream["codecid"].get<int>()) + "," +
                                  std::to_string(stream["width"].get<int>()) + "," +
                                  std::to_string(stream["height"].get<int>()) + "\n")
                << url;
        }
        EXPECT_EQ(qualities, c.qualities) << c.fnval;
        EXPECT_EQ(codecIds, c.codecIds) << c.fnval;
    }
}

TEST_F(MediaTest, LosslessAndDolbyAudioAreRealFilesForMembersOnly) {
    const std::string query = std::string("/x/player/playurl?cid=6401&bvid=") +
                              devsite::kLosslessBvid + "&fourk=1&fnval=";
    const Json member =
        getJson(query + "336", {{"Cookie", devsite::kMemberCookie}})["data"]["dash"];
    const auto probe = [&](const Json& stream) {
        const std::string url = stream["baseUrl"];
        return runAndRead(
            "ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 '" +
            site().mediaPath(url.substr(url.rfind('/') + 1)) + "'");
    };
    EXPECT_EQ(member["flac"]["audio"]["id"], 30251);
    EXPECT_TRUE(probe(member["flac"]["audio"]).starts_with("flac,audio"));
    EXPECT_EQ(member["dolby"]["audio"][0]["id"], 30250);
    EXPECT_TRUE(probe(member["dolby"]["audio"][0]).starts_with("eac3,audio"));

    const Json plain = getJson(query + "336", {{"Cookie", devsite::kPlainCookie}})["data"]["dash"];
    EXPECT_EQ(plain["flac"], Json({{"display", true}, {"audio", nullptr}}));
    EXPECT_EQ(plain["dolby"], Json({{"type", 1}, {"audio", nullptr}}));
    const Json unasked =
        getJson(query + "80", {{"Cookie", devsite::kMemberCookie}})["data"]["dash"];
    EXPECT_FALSE(unasked.contains("flac"));
    EXPECT_FALSE(unasked.contains("dolby"));
}

TEST_F(MediaTest, FaultsHitAsOftenAsAsked) {
    const std::string size = std::to_string(readFile(site().mediaPath(kVideo80)).size());
    auto c = client();
    site().setFault(kVideo80, {devsite::FaultKind::NotFound, 0, 2});
    EXPECT_EQ(c.Get("/media/" + kVideo80)->status, 404);
    EXPECT_EQ(c.Get("/media/" + kVideo80)->status, 404);
    EXPECT_EQ(c.Get("/media/" + kVideo80)->status, 200);
    site().setFault(kVideo80, {devsite::FaultKind::ServerError, 0, -1});
    EXPECT_EQ(c.Get("/media/" + kVideo80)->status, 500);
    EXPECT_EQ(c.Get("/media/" + kVideo80)->status, 500);
    EXPECT_EQ(c.Get("/media/" + kAudio)->status, 200);  // other files are untouched

    site().setFault(kVideo80, {devsite::FaultKind::DropAfterBytes, 5000, 1});
    const std::int64_t before = site().bytesServed(kVideo80);
    auto dropped = c.Get("/media/" + kVideo80);
    EXPECT_FALSE(dropped && dropped->status == 200 && std::to_string(dropped->body.size()) == size);
    EXPECT_EQ(site().bytesServed(kVideo80) - before, 5000);
    auto whole = c.Get("/media/" + kVideo80);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::to_string(whole->body.size()), size);
    site().clearFaults();
}

TEST_F(MediaTest, StallSendsHeadersThenNothingUntilTheClientGivesUp) {
    site().setFault(kAudio, {devsite::FaultKind::Stall, 0, 1});
    const std::int64_t before = site().bytesServed(kAudio);
    httplib::Client c("127.0.0.1", site().port());
    c.set_read_timeout(1, 0);
    const auto started = std::chrono::steady_clock::now();
    auto stalled = c.Get("/media/" + kAudio);
    EXPECT_FALSE(stalled);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
    EXPECT_EQ(site().bytesServed(kAudio), before);
    EXPECT_EQ(client().Get("/media/" + kAudio)->status, 200);  // the fault was used once
}

TEST_F(MediaTest, SpeedLimitPacesEachConnection) {
    site().setBytesPerSecond(100'000);
    auto c = client();
    const auto started = std::chrono::steady_clock::now();
    auto paced = c.Get("/media/" + kVideo80, {{"Range", "bytes=0-149999"}});
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(paced);
    EXPECT_EQ(paced->body.size(), 150'000u);
    EXPECT_GE(took, std::chrono::milliseconds(1000));  // 150 kB at 100 kB/s cannot come sooner
}

// The status of a GET of the file, 0 when no answer came.
int statusOf(httplib::Client& client, const std::string& path) {
    const auto result = client.Get(path);
    return result ? result->status : 0;
}

TEST(MediaCapTest, ConnectionsBeyondTheCapGet503) {
    devsite::Options options;
    options.maxConnections = 1;
    devsite::DevSite site(options);
    ASSERT_TRUE(site.start());
    const std::string file = "/media/" + kOnePart + "-3001-32.m4s";
    httplib::Client probe("127.0.0.1", site.port());
    for (int i = 0; i < 3; ++i) {
        const auto head = probe.Head(file);
        EXPECT_EQ(head ? head->status : 0, 200);  // each frees its slot
    }
    const auto range = probe.Get(file, {{"Range", "bytes=0-9"}});
    EXPECT_EQ(range ? range->status : 0, 206);
    // An answer's slot may be freed just after its client has it: wait for the range's.
    const auto waitFor = [&](int open) {
        for (int waited = 0; waited < 500 && site.openMediaAnswers() != open; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return site.openMediaAnswers();
    };
    ASSERT_EQ(waitFor(0), 0);
    site.setFault(file.substr(7), {devsite::FaultKind::Stall, 0, 1});
    std::jthread holder([&] {
        httplib::Client c("127.0.0.1", site.port());
        c.set_read_timeout(2, 0);
        c.Get(file);
    });
    // Once the stalled answer holds the one slot (however late a loaded machine starts
    // the holder), the next connection is refused.
    ASSERT_EQ(waitFor(1), 1);
    EXPECT_EQ(statusOf(probe, file), 503);
    holder.join();
    // The stalled connection was given up by its client, so its slot is free again.
    int after = 0;
    for (int attempt = 0; attempt < 50 && after != 200; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        after = statusOf(probe, file);
    }
    EXPECT_EQ(after, 200);
    const auto stopping = std::chrono::steady_clock::now();
    site.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(5));
}

TEST_F(MediaTest, LargeFileArrivesByteIdenticalInSixteenParallelRanges) {
    const std::string name = std::string(devsite::kLargeBvid) + "-6101-80.m4s";
    const std::string expected = readFile(site().mediaPath(name));
    ASSERT_EQ(expected.size(), 64u << 20);
    constexpr int kParts = 16;
    const std::size_t part = expected.size() / kParts;
    std::string received(expected.size(), '\0');
    std::vector<std::thread> workers;
    std::vector<int> statuses(kParts, 0);
    for (int i = 0; i < kParts; ++i) {
        workers.emplace_back([&, i] {
            const std::size_t first = i * part,
                              last = i == kParts - 1 ? expected.size() - 1 : first + part - 1;
            httplib::Client c("127.0.0.1", site().port());
            auto result =
                c.Get("/media/" + name,
                      {{"Range", "bytes=" + std::to_string(first) + "-" + std::to_string(last)}});
            if (!result || result->body.size() != last - first + 1) return;
            statuses[i] = result->status;
            received.replace(first, result->body.size(), result->body);
        });
    }
    for (auto& worker : workers) worker.join();
    EXPECT_EQ(statuses, std::vector<int>(kParts, 206));
    EXPECT_TRUE(received == expected);
    EXPECT_EQ(site().bytesServed(name), static_cast<std::int64_t>(expected.size()));
}

}  // namespace
}  // namespace devsite_test
