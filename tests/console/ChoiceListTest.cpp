#include "console/ChoiceList.h"

#include "framework/CComboBox.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> textsOf(const ChoiceList& list)
{
    std::vector<std::string> texts;
    for (const ChoiceItem& item : list.items())
    {
        texts.emplace_back(item.text);
    }
    return texts;
}

std::vector<int32_t> codesOf(const ChoiceList& list)
{
    std::vector<int32_t> codes;
    for (const ChoiceItem& item : list.items())
    {
        codes.push_back(item.code);
    }
    return codes;
}

// Every position maps to its item's code and back again.
void expectMapsAgree(const ChoiceList& list)
{
    const std::vector<int32_t> codes = codesOf(list);
    for (std::size_t i = 0; i < codes.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(list.codeAt(static_cast<int>(i)), codes[i]);
        EXPECT_EQ(list.positionOf(codes[i]), static_cast<int>(i));
    }
    EXPECT_EQ(list.codeAt(-1), std::nullopt);
    EXPECT_EQ(list.codeAt(static_cast<int>(codes.size())), std::nullopt);
}

std::vector<std::string> shownItems(const QComboBox& box)
{
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(box.count()));
    for (int i = 0; i < box.count(); ++i)
    {
        items.push_back(box.itemText(i).toStdString());
    }
    return items;
}
} // namespace

TEST(ChoiceListTest, DeviceTypesInOrderWithCodeSixLast)
{
    const ChoiceList& list = ChoiceList::DeviceTypes();
    EXPECT_EQ(textsOf(list), (std::vector<std::string>{"0 : Tessel", "1 : Orvane", "2 : Vimbra",
                                                       "3 : Quenro", "4 : Darsel", "6 : Kalvo"}));
    EXPECT_EQ(codesOf(list), (std::vector<int32_t>{0, 1, 2, 3, 4, 6}));
    EXPECT_EQ(list.codeAt(5), 6);
    EXPECT_EQ(list.positionOf(6), 5);
    expectMapsAgree(list);
}

TEST(ChoiceListTest, StreamFormatsInOrderWithCodeSixLast)
{
    const ChoiceList& list = ChoiceList::StreamFormats();
    EXPECT_EQ(textsOf(list), (std::vector<std::string>{"0 : JPEG", "1 : MPEG-4", "2 : Tessel",
                                                       "3 : H.264", "6 : H.265"}));
    EXPECT_EQ(codesOf(list), (std::vector<int32_t>{0, 1, 2, 3, 6}));
    EXPECT_EQ(list.codeAt(4), 6);
    EXPECT_EQ(list.positionOf(6), 4);
    expectMapsAgree(list);
}

TEST(ChoiceListTest, ResolutionListsKeepTheLeadingBlanks)
{
    EXPECT_EQ(textsOf(ChoiceList::JPEGResolutions()),
              (std::vector<std::string>{" 320", " 640", " 800", " 960", "1280", "1920", "2048"}));
    EXPECT_EQ(codesOf(ChoiceList::JPEGResolutions()),
              (std::vector<int32_t>{320, 640, 800, 960, 1280, 1920, 2048}));
    EXPECT_EQ(textsOf(ChoiceList::MPEG4Resolutions()), (std::vector<std::string>{" 320", " 640"}));
    EXPECT_EQ(codesOf(ChoiceList::MPEG4Resolutions()), (std::vector<int32_t>{320, 640}));
    EXPECT_EQ(textsOf(ChoiceList::H264Resolutions()),
              (std::vector<std::string>{" 320", " 640", " 800", " 960", "1280", "1920"}));
    EXPECT_EQ(codesOf(ChoiceList::H264Resolutions()),
              (std::vector<int32_t>{320, 640, 800, 960, 1280, 1920}));
    EXPECT_EQ(ChoiceList::JPEGResolutions().positionOf(2048), 6);
    expectMapsAgree(ChoiceList::JPEGResolutions());
    expectMapsAgree(ChoiceList::MPEG4Resolutions());
    expectMapsAgree(ChoiceList::H264Resolutions());
}

TEST(ChoiceListTest, CodesWithoutAnItemSelectNothing)
{
    EXPECT_EQ(ChoiceList::DeviceTypes().positionOf(5), std::nullopt);
    EXPECT_EQ(ChoiceList::StreamFormats().positionOf(4), std::nullopt);
    EXPECT_EQ(ChoiceList::StreamFormats().positionOf(5), std::nullopt);
    EXPECT_EQ(ChoiceList::MPEG4Resolutions().positionOf(800), std::nullopt);
    EXPECT_EQ(ChoiceList::H264Resolutions().positionOf(2048), std::nullopt);
    EXPECT_EQ(ChoiceList::JPEGResolutions().positionOf(1024), std::nullopt);
    for (const ChoiceList* list :
         {&ChoiceList::DeviceTypes(), &ChoiceList::StreamFormats(), &ChoiceList::JPEGResolutions(),
          &ChoiceList::MPEG4Resolutions(), &ChoiceList::H264Resolutions()})
    {
        EXPECT_EQ(list->positionOf(-1), std::nullopt);
        EXPECT_EQ(list->positionOf(-320), std::nullopt);
        EXPECT_EQ(list->positionOf(INT32_MIN), std::nullopt);
    }
}

TEST(ChoiceListTest, FillPutsTheItemsInOrderAndSelectsNothing)
{
    QComboBox box;
    box.addItem(QStringLiteral("a"));
    box.setCurrentIndex(0);
    CComboBox list;
    list.Attach(&box);

    ChoiceList::StreamFormats().Fill(list);

    EXPECT_EQ(shownItems(box), textsOf(ChoiceList::StreamFormats()));
    EXPECT_EQ(box.currentIndex(), -1);
}

TEST(ChoiceListTest, ShowSelectsTheCodeOrLeavesTheSelectionAlone)
{
    QComboBox box;
    CComboBox list;
    list.Attach(&box);
    ChoiceList::DeviceTypes().Fill(list);

    ChoiceList::DeviceTypes().Show(list, 6);
    EXPECT_EQ(box.currentIndex(), 5);
    ChoiceList::DeviceTypes().Show(list, 5);
    EXPECT_EQ(box.currentIndex(), 5);
    ChoiceList::DeviceTypes().Show(list, -1);
    EXPECT_EQ(box.currentIndex(), 5);
    ChoiceList::DeviceTypes().Show(list, 0);
    EXPECT_EQ(box.currentIndex(), 0);
}
