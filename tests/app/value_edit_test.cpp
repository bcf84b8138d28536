// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/value_edit.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace postori {
namespace {

// A script of edits from a text and a cursor, the text and cursor after
// it, and what undo and a second undo (a redo) give back.
TEST(ValueEdit, EditsKeepLineEndsWholeAndUndoOneLevel) {
    struct Case {
        const char* name;
        std::u16string text;
        std::size_t cursor;
        std::function<void(ValueEdit&)> edit;
        std::u16string after;
        std::size_t cursor_after;
        std::u16string undone;
        std::size_t cursor_undone;
    };
    const Case cases[] = {
        {"typing joins one undo", u"ab", 2,
         [](ValueEdit& e) {
             e.replace_selection(u"c", true);
             e.replace_selection(u"d", true);
         },
         u"abcd", 4, u"ab", 2},
        {"typing elsewhere starts another", u"ab", 2,
         [](ValueEdit& e) {
             e.replace_selection(u"c", true);
             e.move_to(0);
             e.replace_selection(u"x", true);
         },
         u"xabc", 1, u"abc", 0},
        {"a line made by Ctrl+Enter is CR LF", u"ab", 1, [](ValueEdit& e) { e.replace_selection(TYPED_LINE_END); },
         u"a\r\nb", 3, u"ab", 1},
        {"Backspace takes a CR LF whole", u"a\r\nb", 3,
         [](ValueEdit& e) { e.erase_to(e.target_of(CursorStep::PreviousChar)); }, u"ab", 1, u"a\r\nb", 1},
        {"Delete takes a lone LF alone", u"a\nb", 1,
         [](ValueEdit& e) { e.erase_to(e.target_of(CursorStep::NextChar)); }, u"ab", 1, u"a\nb", 1},
        {"typing replaces the selection", u"one two", 0,
         [](ValueEdit& e) {
             e.select_word_at(5);
             e.replace_selection(u"2", true);
         },
         u"one 2", 5, u"one two", 4},
        {"an erase with a selection takes the selection", u"abcdef", 1,
         [](ValueEdit& e) {
             e.select(1, 4);
             e.erase_to(0);
         },
         u"aef", 1, u"abcdef", 1},
        {"a CR typed before an LF makes one line end, the cursor after it", u"x\ny", 1,
         [](ValueEdit& e) { e.replace_selection(u"\r", true); }, u"x\r\ny", 3, u"x\ny", 1},
        {"an erase that joins CR and LF leaves the cursor after them", u"a\rb\nc", 2,
         [](ValueEdit& e) { e.erase_to(e.target_of(CursorStep::NextChar)); }, u"a\r\nc", 3, u"a\rb\nc", 2},
        {"a range between CR and LF is made whole", u"a\r\nb", 0, [](ValueEdit& e) { e.replace_range(2, 4, u"X"); },
         u"aX", 2, u"a\r\nb", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ValueEdit edit;
        edit.set_text(c.text);
        edit.move_to(c.cursor);
        EXPECT_FALSE(edit.edited());
        c.edit(edit);
        EXPECT_EQ(edit.text(), c.after);
        EXPECT_EQ(edit.cursor(), c.cursor_after);
        EXPECT_TRUE(edit.edited());
        EXPECT_EQ(edit.lines(), split_lines(edit.text()));
        edit.undo();
        EXPECT_EQ(edit.text(), c.undone);
        EXPECT_EQ(edit.cursor(), c.cursor_undone);
        EXPECT_FALSE(edit.has_selection());
        edit.undo();
        EXPECT_EQ(edit.text(), c.after);
    }
}

// The steps that need no measuring, from a cursor inside the second line of
// a text with both kinds of line end.
TEST(ValueEdit, StepsStopAtLineEndsAndWords) {
    ValueEdit edit;
    edit.set_text(u"one\r\ntwo words\rthree");
    edit.move_to(10);  // "two w|ords"
    struct Case {
        CursorStep step;
        std::size_t target;
    };
    const Case cases[] = {
        {CursorStep::NextChar, 11},    {CursorStep::PreviousChar, 9}, {CursorStep::NextWord, 14},
        {CursorStep::PreviousWord, 9}, {CursorStep::LineStart, 5},    {CursorStep::LineEnd, 14},
        {CursorStep::TextStart, 0},    {CursorStep::TextEnd, 20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(edit.target_of(c.step), c.target) << static_cast<int>(c.step);
    }
    // Selecting keeps the anchor; a move without it drops the selection.
    edit.move_to(edit.target_of(CursorStep::LineEnd), true);
    EXPECT_EQ(edit.selected_text(), u"ords");
    edit.move_to(3, true);  // between CR and LF: the CR
    EXPECT_EQ(edit.cursor(), 3U);
    edit.move_to(0);
    EXPECT_FALSE(edit.has_selection());
    // Setting the text forgets the undo and the edit.
    edit.replace_selection(u"x");
    edit.set_text(u"new");
    EXPECT_FALSE(edit.can_undo());
    EXPECT_FALSE(edit.edited());
}

}  // namespace
}  // namespace postori
