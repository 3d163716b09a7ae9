// The program's icon as Windows takes it from a program's resources: an
// image of its own for each size the shell asks for, 32 bits with alpha.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

const int kIconId = 1;  // icon_test.rc

#pragma pack(push, 2)
struct GroupEntry {  // an image in an RT_GROUP_ICON resource
    BYTE bWidth, bHeight, bColorCount, bReserved;
    WORD wPlanes, wBitCount;
    DWORD dwBytesInRes;
    WORD nId;
};
#pragma pack(pop)

std::vector<GroupEntry> GroupEntries() {
    std::vector<GroupEntry> entries;
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(kIconId), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    if (found == nullptr)
        return entries;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    WORD count = 0;
    std::memcpy(&count, data + 4, sizeof count);
    for (WORD k = 0; k < count; ++k) {
        GroupEntry e;
        std::memcpy(&e, data + 6 + k * sizeof(GroupEntry), sizeof e);
        entries.push_back(e);
    }
    return entries;
}

struct Image {
    int width = 0, height = 0, bitsPerPixel = 0;
    std::vector<RGBQUAD> pixels;  // rows top down
};

Image ColourImage(HICON icon) {
    Image image;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return image;
    BITMAP bm = {};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    image.width = bm.bmWidth;
    image.height = bm.bmHeight;
    image.bitsPerPixel = bm.bmBitsPixel;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    image.pixels.resize(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, image.pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return image;
}

TEST(ProgramIcon, HoldsOneImageForEachSize) {
    std::multiset<int> sizes;
    for (const GroupEntry& e : GroupEntries()) {
        EXPECT_EQ(e.bWidth, e.bHeight);
        EXPECT_EQ(e.wBitCount, 32) << "size " << (e.bWidth ? e.bWidth : 256);
        sizes.insert(e.bWidth ? e.bWidth : 256);  // 0 stands for 256
    }
    EXPECT_EQ(sizes, (std::multiset<int>{16, 32, 48, 256}));
}

TEST(ProgramIcon, LoadsAtEachSizeUnscaledWithAlpha) {
    for (int size : {16, 32, 48, 256}) {
        SCOPED_TRACE(size);
        HICON icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        const Image image = ColourImage(icon);
        DestroyIcon(icon);
        EXPECT_EQ(image.width, size);
        EXPECT_EQ(image.height, size);
        EXPECT_EQ(image.bitsPerPixel, 32);
        ASSERT_EQ(image.pixels.size(), static_cast<size_t>(size) * size);

        int clear = 0, solid = 0, frame = 0, screen = 0, mercury = 0;
        for (const RGBQUAD& p : image.pixels) {
            clear += p.rgbReserved == 0;
            solid += p.rgbReserved == 255;
            if (p.rgbReserved != 255)
                continue;
            frame += p.rgbBlue > p.rgbRed + 40;                                          // deep blue
            screen += p.rgbRed > 240 && p.rgbGreen > 190 && p.rgbBlue > 150 && p.rgbRed > p.rgbBlue + 20;  // pale orange
            mercury += p.rgbRed > 180 && p.rgbGreen < 150 && p.rgbBlue < 80;             // red-orange
        }
        EXPECT_EQ(image.pixels[size - 1].rgbReserved, 0) << "the top right corner is clear";
        EXPECT_GT(clear, size * size / 10);
        EXPECT_GT(solid, size * size / 3);
        EXPECT_GT(frame, 0);
        EXPECT_GT(screen, 0);
        EXPECT_GT(mercury, 0);
    }
}

}  // namespace
