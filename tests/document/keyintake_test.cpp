#include "document/keyintake.h"
#include "document/packformat.h"

#include "../support/coretest.h"

#include <algorithm>
#include <random>

using namespace Wordloom;

TEST(KeyIntake, FilesOnTheSecondThreadAsTheCallersThreadDoes)
{
    // Names that repeat in other letter cases, options absent, empty or
    // odd, keys without texts: over many batches, the later key wins.
    std::mt19937 random(7);
    std::vector<std::array<QByteArray, 6>> rows;
    size_t bytes = 0;
    const QByteArray options[] = {"1", "0", "", "x\xC3\xA4", "-"};
    while (bytes < 5 * KeyIntake::kBatchBytes) {
        const QByteArray id = (random() % 2 ? "Key" : "kEY") + QByteArray::number(random() % 3000);
        const QByteArray text = QByteArray(int(random() % 200), 'a') + "\xC3\x83\xC2\xA4\r\n" + id;
        rows.push_back({id, options[random() % 5], options[random() % 5], options[random() % 5],
            random() % 9 ? text : "-", random() % 3 ? "c" : ""});
        bytes += size_t(text.size());
    }
    QStringList results;
    for (const KeyIntake::Split split : {KeyIntake::Split::Alone, KeyIntake::Split::Shared, KeyIntake::Split::Reader}) {
        KeyData data;
        std::vector<QString> keys;
        KeyIntake intake(data, keys, 0, split);
        for (const auto &row : rows) {
            std::optional<QByteArrayView> given[3];
            for (int i = 0; i < 3; ++i)
                if (row[size_t(1 + i)] != "-")
                    given[i] = row[size_t(1 + i)];
            intake.add(row[0], given, row[4] != "-", row[4], row[5]);
        }
        intake.finish();
        EXPECT_EQ(keys.size(), size_t(std::count_if(rows.begin(), rows.end(), [](const auto &row) {
            return row[4] != "-";
        }))) << "every key with texts is listed, those of the last batch too";
        results.append((QStringList(keys.begin(), keys.end()) + listLines(data)).join(u'\n'));
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(results[2], results[0]) << "translations decoded by the reader";

    // Left before the end, it drops what it holds.
    KeyData data;
    std::vector<QString> keys;
    {
        KeyIntake intake(data, keys);
        for (size_t i = 0; i < rows.size(); ++i)
            intake.add(rows[i][0], {}, true, rows[i][4], rows[i][5]);
    }
    EXPECT_LT(keys.size(), rows.size());
}
