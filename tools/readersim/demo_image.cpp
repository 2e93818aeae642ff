#include "demo_image.h"

#include <cstdint>

namespace readersim {

namespace {

const char* const kWords[] = {
    "the",    "harbour", "lantern", "road",   "winter", "and",     "of",      "a",
    "quiet",  "river",   "letter",  "shore",  "she",    "he",      "was",     "in",
    "morning", "bell",   "stone",   "window", "beyond", "old",     "grey",    "light",
    "across", "fields",  "came",    "under",  "wind",   "house",   "long",    "night",
    "keeper", "salt",    "ship",    "with",   "clock",  "tower",   "small",   "door"};

struct DemoBook {
  bool card;
  const char* file;
  const char* title;
  const char* author;
  const char* publisher;
  const char* isbn;
  std::size_t size;
};

// Sizes are picked to reach every block case: one exact block, an exact
// multiple of the block, and uneven tails.
const DemoBook kBooks[] = {
    {false, "The Salt Road.rb", "The Salt Road", "Amos Kettleby", "Greyhaven Press",
     "0-900000-01-7", 97213},
    {false, "A Winter in Vellmark.rb", "A Winter in Vellmark", "Harriet Quillon",
     "Greyhaven Press", "0-900000-02-5", 65536},
    {false, "Letters from the Fen.rb", "Letters from the Fen", "Josiah Brandwell", "", "", 4096},
    {false, "The Clockmaker's Apprentice.rb", "The Clockmaker's Apprentice",
     "Eleanor Thistlewood", "Marrow & Finch", "", 23417},
    {true, "Voyage of the Marigold.rb", "Voyage of the Marigold", "Silas Penhallow",
     "Marrow & Finch", "0-900000-05-X", 41250},
};

}  // namespace

std::string GeneratedText(const std::string& heading, std::size_t size, unsigned seed) {
  std::string text = heading + "\n\n";
  std::uint32_t state = seed * 2654435761u + 1;
  int in_line = 0;
  int in_paragraph = 0;
  bool capital = true;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    std::string word = kWords[(state >> 16) % (sizeof kWords / sizeof kWords[0])];
    if (capital) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    capital = false;
    text += word;
    in_line += static_cast<int>(word.size()) + 1;
    if ((state >> 8) % 9 == 0) {
      text += ".";
      capital = true;
    }
    if (in_line > 66) {
      text += "\n";
      in_line = 0;
      if (++in_paragraph == 6 + static_cast<int>((state >> 4) % 5)) {
        text += capital ? "\n" : ".\n";
        capital = true;
        in_paragraph = 0;
      }
    } else {
      text += " ";
    }
  }
  text.resize(size);
  return text;
}

Reader DemoReader() {
  Reader reader;
  reader.settings.user_id = "demo";
  reader.internal.id = "A1";
  reader.internal.size_mib = 8;
  reader.card.id = "B2";
  reader.card.size_mib = 16;
  reader.card_present = true;

  unsigned seed = 1;
  for (const DemoBook& book : kBooks) {
    TitleInfo info;
    info.title = book.title;
    info.author = book.author;
    info.publisher = book.publisher;
    info.isbn = book.isbn;
    std::string heading = std::string(book.title) + "\nby " + book.author;
    reader.Put(Location{book.card, "book", book.file}, GeneratedText(heading, book.size, seed++),
               info);
  }
  reader.Put(Location{false, "book", "notes.txt"},
             GeneratedText("Reading notes", 2048, 99), TitleInfo{});
  reader.Put(Location{false, "system", "config.ini"},
             "[display]\nfont=serif\nsize=3\norientation=portrait\n\n[power]\n"
             "sleep_minutes=10\nbacklight=on\n\n[library]\nsort=title\nshow_card=yes\n",
             TitleInfo{});
  reader.Put(Location{false, "", "readme.txt"},
             "Welcome to your Pagora eBook reader.\r\nCopy books into the book folder.\r\n",
             TitleInfo{});
  return reader;
}

}  // namespace readersim
