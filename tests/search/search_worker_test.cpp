#include "search/search_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/message_box.h"
#include "net/text_encoding.h"
#include "search/search_state.h"
#include "support/local_site.h"

namespace quivra {
namespace {

using namespace std::chrono_literals;

// The window's part in memory: a page is shown only when the state accepts it.
class RecordingView : public SearchView {
  public:
    struct Shown {
        SearchState state;
        std::vector<SearchHit> hits;
    };

    void showPage(std::uint64_t ticket, const SearchState& answered,
                  const std::vector<SearchHit>& hits) override {
        std::lock_guard lock(mutex_);
        if (searchState().accept(ticket, answered)) shown_.push_back({answered, hits});
    }

    void showMessage(const std::string& text) override { showMessageBox(text); }

    std::vector<Shown> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Shown> shown_;
};

bool waitForWorkers() {
    for (int i = 0; i < 1000 && runningSearchWorkers() > 0; ++i) std::this_thread::sleep_for(10ms);
    return runningSearchWorkers() == 0;
}

TEST(SearchStateTest, AnAnswerOfASearchStartedBeforeTheShownOneIsTurnedAway) {
    SearchStateRecord record;
    SearchState first;
    SearchState second;
    const auto slow = record.begin(4, first);
    const auto fast = record.begin(7, second);
    EXPECT_EQ(first.currentPage, 4);
    EXPECT_EQ(first.pageSize, kSearchPageSize);
    EXPECT_EQ(record.get().currentPage, 7);

    second.pageCount = 50;
    second.resultCount = 1000;
    EXPECT_TRUE(record.accept(fast, second));
    first.pageCount = 3;
    first.resultCount = 60;
    EXPECT_FALSE(record.accept(slow, first));
    const SearchState now = record.get();
    EXPECT_EQ(now.currentPage, 7);
    EXPECT_EQ(now.pageCount, 50);
    EXPECT_EQ(now.resultCount, 1000);

    // Started first but answered first: shown, and the later one still replaces it.
    SearchState third;
    SearchState fourth;
    const auto early = record.begin(1, third);
    const auto late = record.begin(2, fourth);
    third.pageCount = 9;
    fourth.pageCount = 10;
    EXPECT_TRUE(record.accept(early, third));
    EXPECT_TRUE(record.accept(late, fourth));
    EXPECT_EQ(record.get().pageCount, 10);
}

TEST(SearchStateTest, AFailedSearchLeavesTheCurrentPageAtThePageOnScreen) {
    SearchStateRecord record;
    SearchState state;
    // Nothing shown yet: the failed page stays asked for.
    record.fail(record.begin(5, state));
    EXPECT_EQ(record.get().currentPage, 5);

    const auto shown = record.begin(2, state);
    state.pageCount = 50;
    ASSERT_TRUE(record.accept(shown, state));
    record.fail(record.begin(3, state));
    EXPECT_EQ(record.get().currentPage, 2);
    EXPECT_EQ(record.get().pageCount, 50);

    // A failure older than a search still running leaves that search's page.
    const auto older = record.begin(8, state);
    record.begin(9, state);
    record.fail(older);
    EXPECT_EQ(record.get().currentPage, 9);
}

class SearchWorkerTest : public test::LocalSiteTest {
  protected:
    void TearDown() override {
        EXPECT_TRUE(waitForWorkers());
        takeRecordedMessages();
    }
};

TEST_F(SearchWorkerTest, AFailedSearchShowsTheMessageAndNoPage) {
    takeRecordedMessages();
    RecordingView view;
    runSearch("few", 1, view);
    ASSERT_EQ(view.shown().size(), 1u);
    EXPECT_EQ(view.shown()[0].hits.size(), 7u);

    site().overrideAnswer(devsite::kSearchPath, 200, "<html>busy</html>", "text/html", 1);
    runSearch("few", 1, view);
    EXPECT_EQ(view.shown().size(), 1u);
    const std::vector<std::string> messages = takeRecordedMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(localToUtf8(messages[0]), "json解析失败，请重试！");
}

TEST_F(SearchWorkerTest, ASlowFirstSearchFinishingAfterAFastSecondIsNotShown) {
    auto view = std::make_shared<RecordingView>();
    site().setDelayMs(devsite::kSearchPath, 600, 1);
    ASSERT_TRUE(startSearchWorker("slow", 5, view));
    std::this_thread::sleep_for(100ms);  // the slow request has reached the site
    ASSERT_TRUE(startSearchWorker("few", 1, view));
    ASSERT_TRUE(waitForWorkers());

    ASSERT_EQ(site().requestsTo(devsite::kSearchPath).size(), 2u);
    const auto shown = view->shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].state.currentPage, 1);
    EXPECT_EQ(shown[0].hits.size(), 7u);
    const SearchState state = searchState().get();
    EXPECT_EQ(state.currentPage, 1);
    EXPECT_EQ(state.pageCount, 1);
    EXPECT_EQ(state.resultCount, 7);
}

}  // namespace
}  // namespace quivra
