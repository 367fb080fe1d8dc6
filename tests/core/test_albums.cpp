#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/file_set.h"
#include "base/path.h"
#include "generate/image_list.h"
#include "generate/page_templates.h"
#include "generate/run_outputs.h"
#include "generate/thumbnailer.h"
#include "run/generation_run.h"
#include "support/temp_dir.h"
#include "web/albums.h"
#include "web/order.h"

namespace brindlewick {
namespace {

namespace fs = std::filesystem;

DateTaken On(int year, int month, int day) {
    DateTaken taken;
    taken.year = static_cast<std::int16_t>(year);
    taken.month = static_cast<std::uint8_t>(month);
    taken.day = static_cast<std::uint8_t>(day);
    taken.offsetMinutes = 0;
    taken.precision = DateTaken::Precision::kDay;
    return taken;
}

std::int32_t Utc(std::int64_t) {
    return 0;
}

// A listed photo, below the gallery's parent, and the album it belongs to.
struct Listed {
    std::string path;
    std::string album;
    std::optional<DateTaken> taken;
};

// The order stage's view of the list: every item a photo, with its date.
struct Listing {
    ImageList images;
    std::vector<SurveyRecord> records;
    FileSet inputs;
    RunReport report;
    RunOutputs outputs{report, inputs};

    Listing(const std::string& root, const std::vector<Listed>& listed) {
        std::vector<std::string> paths;
        std::map<std::string, const Listed*> byPath;
        for (const Listed& photo : listed) {
            paths.push_back(root + "/" + photo.path);
            byPath[paths.back()] = &photo;
        }
        images.AddImagePaths(paths);
        for (const std::string_view path : images.Items()) {
            SurveyRecord& record = records.emplace_back();
            record.kind = ItemKind::kImage;
            const Listed& photo = *byPath.at(std::string(path));
            record.hasDate = photo.taken.has_value();
            record.taken = photo.taken.value_or(DateTaken());
        }
    }
};

// The album of each folder, relative to the gallery's folder.
std::map<std::string, AlbumTree::Index> AlbumsByFolder(const AlbumTree& tree) {
    std::map<std::string, AlbumTree::Index> albums;
    for (AlbumTree::Index album = 0; album < tree.Count(); ++album) {
        EXPECT_TRUE(albums.emplace(std::string(tree.FolderOf(album)), album).second);
    }
    return albums;
}

TEST(AlbumTree, FoldersBelowTheGalleryNestedWithLinksLeftOutAndSubAlbumsByNameOrDate) {
    const test::TempDir temp;
    const std::string root = temp.Path().string();
    const std::string markup = "c <b>&amp; \"q\"";
    for (const std::string folder : {"a/b/c", "d", "E", "f", "h", markup.c_str()}) {
        fs::create_directories(temp / ("gallery/" + folder));
    }
    fs::create_directories(temp / "outside");
    fs::create_directory_symlink("a", temp / "gallery/toA");
    fs::create_directory_symlink("../outside", temp / "gallery/toOutside");
    fs::create_symlink("loop", temp / "gallery/loop");
    fs::create_directory_symlink("../..", temp / "gallery/a/b/up");
    fs::create_directory_symlink("../a", temp / "gallery/h/toA");
    test::WriteFile(temp / "gallery/file", "");
    const std::vector<Listed> listed = {
        {"gallery/top.jpg", "", On(2021, 6, 1)},
        {"gallery/a/a1.jpg", "a", On(2020, 3, 1)},
        {"gallery/a/a2.jpg", "a", {}},
        {"gallery/a/b/c/c1.jpg", "a/b/c", On(2019, 1, 1)},
        {"gallery/" + markup + "/m.jpg", markup, {}},
        {"gallery/d/d1.jpg", "d", On(2020, 1, 1)},
        {"gallery/d/d2.jpg", "d", On(2022, 1, 1)},
        {"gallery/E/e1.jpg", "E", On(2017, 3, 3)},
        {"gallery/f/f1.jpg", "f", On(2020, 1, 1)},
        // Through a link, something not a folder, or a folder not there: the top.
        {"gallery/toA/via.jpg", "", {}},
        {"gallery/toOutside/o.jpg", "", {}},
        {"gallery/loop/l.jpg", "", {}},
        {"gallery/file/x.jpg", "", {}},
        {"gallery/gone/g.jpg", "", {}},
        {"gallery/a/b/up/u.jpg", "", {}},
        {"gallery/h/toA/hx.jpg", "", {}},  // h has no photo but through a link: no album
        {"gallery/a/../dots.jpg", "", {}},
        // Outside the gallery's folder: the top.
        {"outside/o2.jpg", "", On(2016, 5, 5)},
        {"gallery-sibling/s.jpg", "", {}},
    };
    struct Want {
        std::string folder, parent;
        std::size_t count;
        std::optional<DateTaken> earliest;
    };
    const std::vector<Want> wants = {
        {"", "", listed.size(), On(2016, 5, 5)},
        {"a", "", 3, On(2019, 1, 1)},
        {"a/b", "a", 1, On(2019, 1, 1)},
        {"a/b/c", "a/b", 1, On(2019, 1, 1)},
        {markup, "", 1, {}},
        {"d", "", 2, On(2020, 1, 1)},
        {"E", "", 1, On(2017, 3, 3)},
        {"f", "", 1, On(2020, 1, 1)},
    };
    struct Mode {
        bool byDate, reverse;
        std::vector<std::string> topOrder;
        std::string topCover, dCover;
    };
    const std::vector<Mode> modes = {
        {false, false, {"a", markup, "d", "E", "f"}, "gallery-sibling/s.jpg", "gallery/d/d1.jpg"},
        {false, true, {"f", "E", "d", markup, "a"}, "gallery-sibling/s.jpg", "gallery/d/d1.jpg"},
        {true, false, {"E", "a", "d", "f", markup}, "outside/o2.jpg", "gallery/d/d1.jpg"},
        {true, true, {"d", "f", "a", "E", markup}, "gallery/top.jpg", "gallery/d/d2.jpg"},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(testing::Message() << "byDate " << mode.byDate << " reverse " << mode.reverse);
        Listing listing(root, listed);
        const OrderWants orderWants{mode.byDate, mode.reverse, Utc};
        const GalleryOrder order(listing.images, listing.records, listing.outputs,
                                 root + "/gallery/index.html", orderWants);
        ASSERT_EQ(order.Count(), listed.size());
        const AlbumTree tree(listing.images, listing.records, order, root + "/gallery/",
                             orderWants);
        const std::map<std::string, AlbumTree::Index> albums = AlbumsByFolder(tree);
        ASSERT_EQ(albums.size(), wants.size());
        const auto pathAt = [&](std::size_t position) {
            return std::string(listing.images.GetAt(order.ItemAt(position)))
                .substr(root.size() + 1);
        };
        std::size_t own = 0;
        for (const Want& want : wants) {
            SCOPED_TRACE(want.folder);
            ASSERT_TRUE(albums.contains(want.folder));
            const AlbumTree::Index album = albums.at(want.folder);
            EXPECT_EQ(tree.ParentOf(album),
                      want.folder.empty() ? AlbumTree::kNone : albums.at(want.parent));
            EXPECT_EQ(tree.NameOf(album), fs::path(want.folder).filename().string());
            EXPECT_EQ(tree.PhotoCountOf(album), want.count);
            EXPECT_EQ(tree.EarliestOf(album), want.earliest
                                                  ? std::optional(SortInstant(*want.earliest, Utc))
                                                  : std::nullopt);
            std::vector<std::string> photos, wanted;
            const std::span<const std::uint32_t> ownPhotos = tree.PhotosOf(album);
            for (std::size_t k = 0; k < ownPhotos.size(); ++k) {
                photos.push_back(pathAt(ownPhotos[k]));
                // Its neighbours are its album's.
                EXPECT_EQ(tree.AlbumOf(ownPhotos[k]), album);
                EXPECT_EQ(tree.PreviousIn(ownPhotos[k]),
                          k > 0 ? std::optional<std::size_t>(ownPhotos[k - 1]) : std::nullopt);
                EXPECT_EQ(tree.NextIn(ownPhotos[k]),
                          k + 1 < ownPhotos.size() ? std::optional<std::size_t>(ownPhotos[k + 1])
                                                   : std::nullopt);
            }
            for (std::size_t position = 0; position < order.Count(); ++position) {
                for (const Listed& photo : listed) {
                    if (photo.path == pathAt(position) && photo.album == want.folder) {
                        wanted.push_back(photo.path);
                    }
                }
            }
            EXPECT_EQ(photos, wanted);  // in the gallery's order
            own += photos.size();
        }
        EXPECT_EQ(own, listed.size());

        std::vector<std::string> topOrder;
        for (const AlbumTree::Index album : tree.SubAlbumsOf(AlbumTree::kTop)) {
            topOrder.push_back(std::string(tree.FolderOf(album)));
        }
        EXPECT_EQ(topOrder, mode.topOrder);
        const auto subAlbums = [&](const std::string& folder) {
            std::vector<std::string> folders;
            for (const AlbumTree::Index album : tree.SubAlbumsOf(albums.at(folder))) {
                folders.push_back(std::string(tree.FolderOf(album)));
            }
            return folders;
        };
        EXPECT_EQ(subAlbums("a"), std::vector<std::string>{"a/b"});
        EXPECT_EQ(subAlbums("a/b"), std::vector<std::string>{"a/b/c"});
        EXPECT_TRUE(subAlbums("a/b/c").empty());
        EXPECT_TRUE(subAlbums("d").empty());

        const auto cover = [&](const std::string& folder) {
            const std::optional<std::size_t> position = tree.CoverOf(albums.at(folder));
            return position ? pathAt(*position) : std::string("(none)");
        };
        EXPECT_EQ(cover(""), mode.topCover);
        EXPECT_EQ(cover("a"), "gallery/a/a1.jpg");
        EXPECT_EQ(cover("a/b"), "gallery/a/b/c/c1.jpg");  // no photo of its own
        EXPECT_EQ(cover("d"), mode.dCover);
        EXPECT_EQ(cover(markup), "gallery/" + markup + "/m.jpg");
    }
}

// Many albums of one photo, a chain deeper than the tree goes and many
// photos in one album: one album a folder, the deepest photos in the top.
TEST(AlbumTree, ManyFoldersADeepChainAndManyPhotosInOneFolder) {
    const test::TempDir temp;
    const std::string root = temp.Path().string();
    std::vector<Listed> listed;
    fs::create_directory(temp / "gallery");
    for (int k = 0; k < 2000; ++k) {
        const std::string folder = "gallery/n" + std::to_string(10000 + k);
        fs::create_directory(temp / folder);
        listed.push_back({folder + "/p.jpg", "", {}});
    }
    std::string deep = "gallery";
    for (std::size_t depth = 1; depth <= AlbumTree::kMaxDepth + 2; ++depth) {
        deep += "/d";
        fs::create_directory(temp / deep);
        listed.push_back({deep + "/p.jpg", "", {}});
    }
    fs::create_directory(temp / "gallery/d-many");
    for (int k = 0; k < 5000; ++k) {
        listed.push_back({"gallery/d-many/" + std::to_string(k) + ".jpg", "", {}});
    }
    Listing listing(root, listed);
    const GalleryOrder order(listing.images, listing.records, listing.outputs,
                             root + "/gallery/index.html");
    ASSERT_EQ(order.Count(), listed.size());
    const AlbumTree tree(listing.images, listing.records, order, root + "/gallery");
    ASSERT_EQ(tree.Count(), 1 + 2000 + AlbumTree::kMaxDepth + 1);
    EXPECT_EQ(tree.PhotoCountOf(AlbumTree::kTop), listed.size());
    EXPECT_EQ(tree.PhotosOf(AlbumTree::kTop).size(), 2u);  // below the chain's last album
    const std::span<const AlbumTree::Index> top = tree.SubAlbumsOf(AlbumTree::kTop);
    ASSERT_EQ(top.size(), 2002u);
    EXPECT_EQ(tree.NameOf(top[0]), "d");
    EXPECT_EQ(tree.NameOf(top[1]), "d-many");  // between d and d/d in bytes
    EXPECT_EQ(tree.PhotosOf(top[1]).size(), 5000u);
    for (std::size_t k = 0; k < 2000; ++k) {
        EXPECT_EQ(tree.NameOf(top[2 + k]), "n" + std::to_string(10000 + k));
        ASSERT_EQ(tree.PhotosOf(top[2 + k]).size(), 1u);
        EXPECT_EQ(tree.CoverOf(top[2 + k]), tree.PhotosOf(top[2 + k])[0]);
    }
    AlbumTree::Index album = top[0];
    for (std::size_t depth = 1; depth <= AlbumTree::kMaxDepth; ++depth) {
        EXPECT_EQ(tree.PhotoCountOf(album), AlbumTree::kMaxDepth + 1 - depth);
        ASSERT_EQ(tree.PhotosOf(album).size(), 1u);
        const std::span<const AlbumTree::Index> below = tree.SubAlbumsOf(album);
        ASSERT_EQ(below.size(), depth < AlbumTree::kMaxDepth ? 1u : 0u);
        if (!below.empty()) {
            EXPECT_EQ(tree.ParentOf(below[0]), album);
            album = below[0];
        }
    }
}

// A thumbnail for every image, named after it.
class NamedThumbnailer final : public Thumbnailer {
public:
    Thumbnail Make(const ThumbnailRequest& request) const override {
        return {std::string(FileNameOf(request.source)) + ".jpg", 20, 10, false};
    }
};

// The web gallery's runs with albums over one tree, then with photos taken
// out, then without albums: album pages where the folders are, photo pages
// leading within their albums, this program's files replaced and no one
// else's, and the album pages no longer in the gallery removed, those of
// another gallery below it kept.
TEST(AlbumPages, WrittenReplacedAndRemovedAsTheTreeChanges) {
    const test::TempDir temp;
    const fs::path root = temp.Path() / "gallery";
    const std::string odd = "odd <&> \x01";
    for (const std::string folder :
         {"2025/Winter", "2025/Summer", odd.c_str(), "foreign", "plain", "real", "other/sub"}) {
        fs::create_directories(root / folder);
    }
    fs::create_directory_symlink("real", root / "link");
    const std::string foreign = "<html>mine</html>";
    test::WriteFile(root / "foreign/ShowAll.html", foreign);
    test::WriteFile(root / "plain/ShowAll.html", std::string(PageTemplates::kHead) + "old");
    const auto image = [&](const std::string& name) {
        test::WriteFile(root / name, "GIF89a");
        return (root / name).string();
    };
    const NamedThumbnailer thumbnailer;
    const SettingsFile settings((temp.Path() / "brindlewick.ini").string());
    const auto run = [&](const fs::path& folder, const std::vector<std::string>& paths,
                         bool albums) {
        Settings values;
        values.comment = "Me";
        values.showAll = 1;
        values.webGallery = 1;
        values.albums = albums ? 1 : 0;
        values.galleryTitle = "Top";
        ImageList images;
        images.AddImagePaths(paths);
        RunServices services;
        services.thumbnailer = &thumbnailer;
        return brindlewick::GenerationRun(values, images, settings, folder.string(), services)
            .Run();
    };
    // Another gallery with albums, below this one.
    run(root / "other", {image("other/o1.gif"), image("other/sub/o2.gif")}, true);
    const std::vector<std::string> winter = {image("2025/Winter/w1.gif"),
                                             image("2025/Winter/w2.gif")};
    std::vector<std::string> paths = {image("top.gif"),         image("2025/Summer/s1.gif"),
                                      image(odd + "/o.gif"),    image("foreign/f.gif"),
                                      image("plain/p.gif"),     image("real/r.gif"),
                                      image("2025/ShowAll.gif")};
    paths[5] = (root / "link/r.gif").string();  // through a link: in the top album
    paths.insert(paths.end(), winter.begin(), winter.end());
    RunReport report = run(root, paths, true);

    EXPECT_TRUE(report.albums);
    EXPECT_EQ(report.albumPagesWritten, 5u);  // 2025, its two, odd, plain
    EXPECT_EQ(FailureLines(report.failures),
              root.string() +
                  "/2025/ShowAll.html: it would replace the gallery written in this run (page)\n" +
                  root.string() +
                  "/foreign/ShowAll.html: a file not written by Brindlewick is "
                  "there and is left alone (album page)\n");
    EXPECT_EQ(test::ReadFile(root / "foreign/ShowAll.html"), foreign);
    EXPECT_FALSE(fs::exists(root / "real/ShowAll.html"));
    const std::string top = test::ReadFile(root / "ShowAll.html");
    const auto cards = top.substr(top.find("<ul class=\"albums\">"));
    EXPECT_TRUE(
        cards.starts_with("<ul class=\"albums\"><li><a href=\"2025/ShowAll.html\"><img "
                          "src=\"thumbs/s1.gif.jpg\""))
        << cards;  // its cover: its first sub-album's
    EXPECT_NE(cards.find("</span></a><p>3 photos</p></li><li><a href=\"foreign/ShowAll.html\">"),
              std::string::npos);
    EXPECT_NE(cards.find("<a href=\"odd%20%3C%26%3E%20%01/ShowAll.html\">"), std::string::npos);
    EXPECT_NE(cards.find("<span dir=\"auto\">odd &lt;&amp;&gt; \xEF\xBF\xBD</span>"),
              std::string::npos);
    EXPECT_NE(cards.find("<ul><li><a href=\"link/r.html\">"), std::string::npos);
    const std::string between = test::ReadFile(root / "2025/ShowAll.html");
    EXPECT_NE(between.find("</li></ul></main>"), std::string::npos);  // no photos of its own
    EXPECT_EQ(between.find("<ul>"), std::string::npos);
    const std::string album = test::ReadFile(root / "2025/Winter/ShowAll.html");
    EXPECT_NE(album.find("<li><a href=\"../../ShowAll.html\" dir=\"auto\">Top</a></li><li><a "
                         "href=\"../ShowAll.html\" dir=\"auto\">2025</a></li><li><span "
                         "aria-current=\"page\" dir=\"auto\">Winter</span>"),
              std::string::npos);
    EXPECT_NE(album.find("<ul><li><a href=\"w1.html\"><img src=\"../../thumbs/w1.gif.jpg\""),
              std::string::npos);
    const auto navigation = [](const std::string& page) {
        const std::size_t start = page.find("<nav aria-label=\"Photos\">");
        return page.substr(start, page.find("</nav>", start) - start);
    };
    EXPECT_EQ(navigation(test::ReadFile(root / "2025/Winter/w2.html")),
              "<nav aria-label=\"Photos\"><a id=\"previous\" rel=\"prev\" href=\"w1.html\">"
              "Previous</a><a id=\"gallery\" href=\"ShowAll.html\" dir=\"auto\">Winter</a>");
    EXPECT_EQ(navigation(test::ReadFile(root / "top.html")),
              "<nav aria-label=\"Photos\"><a id=\"previous\" rel=\"prev\" "
              "href=\"link/r.html\">Previous</a><a id=\"gallery\" href=\"ShowAll.html\" "
              "dir=\"auto\">Top</a>");

    // Winter's photos taken out: its page goes; then without albums, every
    // album page below the top but the other gallery's.
    paths.resize(paths.size() - winter.size());
    const auto inode = [&](const std::string& page) {
        struct stat info {};
        EXPECT_EQ(::stat((root / page).c_str(), &info), 0) << page;
        return info.st_ino;
    };
    const ino_t summer = inode("2025/Summer/ShowAll.html");
    const ino_t year = inode("2025/ShowAll.html");
    report = run(root, paths, true);
    EXPECT_EQ(report.albumPagesRemoved, 1u);
    EXPECT_EQ(report.albumPagesWritten, 4u);
    EXPECT_EQ(inode("2025/Summer/ShowAll.html"), summer);  // the same bytes: left as it was
    EXPECT_NE(inode("2025/ShowAll.html"), year);           // one card fewer
    EXPECT_FALSE(fs::exists(root / "2025/Winter/ShowAll.html"));
    EXPECT_TRUE(fs::exists(root / "2025/Winter/w1.html"));  // pages stay, as without albums
    report = run(root, paths, false);
    EXPECT_FALSE(report.albums);
    EXPECT_EQ(report.albumPagesRemoved, 3u);
    for (const std::string folder : {"2025/Summer", odd.c_str(), "plain"}) {
        EXPECT_FALSE(fs::exists(root / folder / "ShowAll.html")) << folder;
    }
    // Without albums ShowAll.gif has its page again, in the album page's place.
    EXPECT_NE(test::ReadFile(root / "2025/ShowAll.html").find("<h1>ShowAll.gif</h1>"),
              std::string::npos);
    EXPECT_EQ(test::ReadFile(root / "foreign/ShowAll.html"), foreign);
    EXPECT_TRUE(fs::exists(root / "other/ShowAll.html"));
    EXPECT_TRUE(fs::exists(root / "other/sub/ShowAll.html"));
    EXPECT_EQ(test::ReadFile(root / "ShowAll.html").find("Breadcrumb"), std::string::npos);
}

}  // namespace
}  // namespace brindlewick
