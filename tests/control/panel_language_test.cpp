// The panel in English and back: every word it shows or names comes from the language asked
// for, the top row makes room for the longer words, and Chinese brings back the fixed layout.
#include "control/MainPanel.h"

#include "HostWindow.h"
#include "ui/ComboBox.h"
#include "ui/Label.h"
#include "ui/UiText.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Vantor::MainPanel;
using Vantor::UI::Language;
using Vantor::UI::TextId;

class QuietHost : public Vantor::PanelHost {
public:
    bool StartListUpload() override { return false; }
    void CancelUpload() override {}
    bool IsUploading() const override { return false; }
    Vantor::UploadTaskProgress UploadProgress() const override { return {}; }
    void EditItem(int32_t) override {}
    void PreviewItem(int32_t) override {}
    std::wstring PickFolder() const override { return {}; }
    void SetPickFolder(const std::wstring&) override {}
    Vantor::ModalRuns& Modals() override { return modals_; }

private:
    Vantor::ModalRuns modals_{nullptr};
};

bool HasCjk(const std::wstring& text)
{
    for (const wchar_t c : text)
        if ((c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x3000 && c <= 0x303F))
            return true;
    return false;
}

// Everything the panel's tree says: each control's accessible words, a label's text and the
// sort box's entries.
std::vector<std::wstring> Words(const ControlBase& panel)
{
    std::vector<std::wstring> words;
    const auto add = [&words](const Vantor::UI::AccessibleInfo& info) {
        for (const std::wstring* text : {&info.name, &info.value, &info.description, &info.defaultAction})
            if (!text->empty())
                words.push_back(*text);
    };
    add(panel.Describe());
    for (const ControlBase* control : panel.GetChildren()) {
        add(control->Describe());
        if (const auto* label = dynamic_cast<const Label*>(control))
            words.push_back(label->GetText());
        if (const auto* box = dynamic_cast<const ComboBox*>(control))
            for (int i = 0; i < box->GetCount(); ++i)
                words.push_back(box->GetText(i));
    }
    return words;
}

std::map<std::wstring, RECT> Places(const ControlBase& panel)
{
    std::map<std::wstring, RECT> places;
    for (const ControlBase* control : panel.GetChildren()) {
        const Vantor::UI::AccessibleInfo info = control->Describe();
        if (!info.name.empty() && info.role != ROLE_SYSTEM_STATICTEXT)
            places[info.name + L"#" + std::to_wstring(info.role)] = control->GetBounds();
    }
    return places;
}

class PanelLanguage : public ::testing::Test {
protected:
    static constexpr int kWidth = 760;
    void SetUp() override
    {
        panel_ = std::make_unique<MainPanel>(host_);
        window_ = std::make_unique<TestHostWindow>(kWidth, 480);
        ASSERT_TRUE(window_->get());
        ShowWindow(window_->get(), SW_SHOWNA);
        panel_->MakeView(window_->get());
    }
    void TearDown() override
    {
        panel_->ReleaseView();
        window_.reset();
        panel_.reset();
    }
    // The controls of the top strip that show now, left to right.
    std::vector<const ControlBase*> topRow() const
    {
        std::vector<const ControlBase*> row;
        for (const ControlBase* control : panel_->GetChildren())
            if (control->IsVisible() && control->GetBounds().top < 32 && control->GetBounds().right > 0)
                row.push_back(control);
        std::sort(row.begin(), row.end(),
                  [](const ControlBase* a, const ControlBase* b) { return a->GetBounds().left < b->GetBounds().left; });
        return row;
    }

    QuietHost host_;
    std::unique_ptr<MainPanel> panel_;
    std::unique_ptr<TestHostWindow> window_;
};

TEST_F(PanelLanguage, EnglishReplacesEveryWordAndGivesTheLongerWordsRoom)
{
    const std::vector<std::wstring> chinese = Words(*panel_);
    const std::map<std::wstring, RECT> chinesePlaces = Places(*panel_);
    ASSERT_GT(chinese.size(), 15u);

    panel_->ApplyLanguage(Language::En);
    EXPECT_EQ(panel_->TextLanguage(), Language::En);
    EXPECT_EQ(panel_->List().TextLanguage(), Language::En) << "the list speaks the panel's language";
    const std::vector<std::wstring> english = Words(*panel_);
    EXPECT_EQ(english.size(), chinese.size());
    for (const std::wstring& word : english)
        EXPECT_FALSE(HasCjk(word)) << std::string(word.begin(), word.end());
    const auto says = [&english](TextId id) {
        return std::find(english.begin(), english.end(), Vantor::UI::Text(Language::En, id)) != english.end();
    };
    for (TextId id : {TextId::PanelName, TextId::AddPhotos, TextId::Upload, TextId::CancelUpload, TextId::SelectAll,
                      TextId::Edit, TextId::RotateLeft, TextId::RotateRight, TextId::Delete, TextId::SortName,
                      TextId::SortDefault, TextId::SortByName, TextId::SortByCreated, TextId::SortByTaken,
                      TextId::Hint, TextId::EmptyList, TextId::ClickAction})
        EXPECT_TRUE(says(id)) << static_cast<int>(id);

    // The top strip: nothing overlaps, everything stays inside the panel.
    const std::vector<const ControlBase*> row = topRow();
    ASSERT_GE(row.size(), 8u);
    for (size_t i = 0; i < row.size(); ++i) {
        const RECT r = row[i]->GetBounds();
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, kWidth);
        if (i > 0) {
            EXPECT_GE(r.left, row[i - 1]->GetBounds().right + 2)
                << std::string(row[i]->Describe().name.begin(), row[i]->Describe().name.end());
        }
    }

    // Back to Chinese: the same words and places as before, exactly.
    panel_->ApplyLanguage(Language::ZhCN);
    EXPECT_EQ(Words(*panel_), chinese);
    const std::map<std::wstring, RECT> places = Places(*panel_);
    ASSERT_EQ(places.size(), chinesePlaces.size());
    for (const auto& [name, rect] : chinesePlaces) {
        ASSERT_TRUE(places.count(name)) << std::string(name.begin(), name.end());
        EXPECT_TRUE(EqualRect(&places.at(name), &rect)) << std::string(name.begin(), name.end());
    }
}

TEST_F(PanelLanguage, TheChosenSortEntryAndTheListsWordsFollowTheLanguage)
{
    panel_->Sort(2);
    ComboBox* sort = nullptr;
    for (ControlBase* control : panel_->GetChildren())
        if (auto* box = dynamic_cast<ComboBox*>(control))
            sort = box;
    ASSERT_NE(sort, nullptr);
    sort->SetCurSel(2);
    panel_->ApplyLanguage(Language::En);
    EXPECT_EQ(sort->GetCurSel(), 2) << "the choice stays where it was";
    EXPECT_EQ(sort->Describe().value, Vantor::UI::Text(Language::En, TextId::SortByCreated));
    EXPECT_EQ(panel_->List().Describe().name, Vantor::UI::Text(Language::En, TextId::ListName));
    // Asking again for the language in force changes nothing.
    const std::vector<std::wstring> before = Words(*panel_);
    panel_->ApplyLanguage(Language::En);
    EXPECT_EQ(Words(*panel_), before);
}

}  // namespace
