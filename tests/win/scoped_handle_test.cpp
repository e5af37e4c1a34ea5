// Handle ownership: one owner, moves hand it over, closing keeps the last error.
#include "framework/scoped_handle.h"

#include <utility>

#include <gtest/gtest.h>

namespace {

bool IsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(ScopedHandleTest, ClosesWhenItGoesOutOfScope) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        ScopedKernelHandle event(raw);
        EXPECT_TRUE(event.IsValid());
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(ScopedHandleTest, KeepsLastErrorOnClose) {
    // A value no call handed out: CloseHandle fails with ERROR_INVALID_HANDLE, and the error
    // that was there before the clean-up must still be there after it.
    ScopedKernelHandle bogus(reinterpret_cast<HANDLE>(0x7ffe1234));
    SetLastError(ERROR_FILE_NOT_FOUND);
    bogus.Close();
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(bogus.IsValid());
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x7ffe1234)));  // the value really fails
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST(ScopedHandleTest, MoveAndDetachHandOwnershipOver) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ScopedKernelHandle first(raw);
    ScopedKernelHandle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), raw);
    ScopedKernelHandle third;
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    HANDLE detached = third.Detach();
    EXPECT_FALSE(third.IsValid());
    EXPECT_TRUE(IsOpen(detached));  // nobody closed it
    CloseHandle(detached);
}

TEST(ScopedHandleTest, FailureValuesAreNotReleased) {
    // A failed CreateFile gives INVALID_HANDLE_VALUE, a failed FindFirstFile too: neither is
    // closed, and the failure's code stays readable.
    ScopedKernelHandle file(CreateFileA("Z:\\no\\such\\folder\\f.txt", GENERIC_READ, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    const DWORD error = GetLastError();
    EXPECT_FALSE(file.IsValid());
    file.Close();
    EXPECT_EQ(GetLastError(), error);
    WIN32_FIND_DATAA fd;
    ScopedFindHandle find(FindFirstFileA("Z:\\no\\such\\folder\\*", &fd));
    EXPECT_FALSE(find.IsValid());
}

TEST(ScopedHandleTest, GdiObjectsAreDeleted) {
    HBRUSH raw = CreateSolidBrush(RGB(58, 64, 77));
    ASSERT_NE(raw, nullptr);
    {
        ScopedBrush brush(raw);
        EXPECT_EQ(GetObjectType(raw), DWORD(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(raw), 0u);  // deleted
    HDC dc = CreateCompatibleDC(nullptr);
    {
        ScopedCreatedDc owned(dc);
        EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_MEMDC));
    }
    EXPECT_EQ(GetObjectType(dc), 0u);
}

}  // namespace
