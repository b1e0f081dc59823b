#include "driver/TorrentFacts.h"

#include <algorithm>

#include "base/Exceptions.h"
#include "bencode/BDecode.h"

namespace kelvane {

namespace {

constexpr std::size_t kReadBackChunk = 1 << 20;

// The value under key when the dictionary holds one of type T, else null.
template <class T>
const T* Entry(const TObjectHash& dictionary, std::string_view key) {
  return dictionary.Exists(key) ? dynamic_cast<const T*>(dictionary.Items(key)) : nullptr;
}

std::optional<std::int64_t> IntegerOf(const TObject* value) {
  const auto* scalar = dynamic_cast<const TIntString*>(value);
  if (scalar == nullptr || !scalar->IsInt) return std::nullopt;
  return scalar->IntValue;
}

// The bytes of a string value, read back from the stream when the decoder
// left them there.
std::optional<std::string> TextOf(const TObject* value, TStream& stream) {
  const auto* scalar = dynamic_cast<const TIntString*>(value);
  if (scalar == nullptr || scalar->IsInt) return std::nullopt;
  if (scalar->StrLength == 0) return scalar->StrValue;
  std::string text;
  stream.Seek(scalar->StrOffset, TSeekOrigin::Beginning);
  while (std::ssize(text) < scalar->StrLength) {
    const std::size_t have = text.size();
    const auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(scalar->StrLength - std::ssize(text), kReadBackChunk));
    text.resize(have + want);
    const std::size_t got = stream.Read(text.data() + have, want);
    if (got == 0) throw EReadError("Stream read error");
    text.resize(have + got);
  }
  return text;
}

// The byte strings a list holds, or the one string value is.
std::vector<std::string> TextsOf(const TObject* value, TStream& stream) {
  std::vector<std::string> texts;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) {
      if (auto text = TextOf(list->Item(i), stream)) texts.push_back(std::move(*text));
    }
  } else if (auto text = TextOf(value, stream)) {
    texts.push_back(std::move(*text));
  }
  return texts;
}

// A dictionary of the file tree is a file when it holds the empty key; its
// other entries, if any, are walked like a folder's.
void AddTreeFiles(const TObjectHash& folder, std::vector<std::int64_t>& lengths) {
  if (folder.EmptyKeyValue() != nullptr) {
    const auto* file = dynamic_cast<const TObjectHash*>(folder.EmptyKeyValue());
    lengths.push_back(file == nullptr ? 0
                                      : IntegerOf(Entry<TIntString>(*file, "length")).value_or(0));
  }
  for (std::int32_t i = 0; i < folder.KeyCount(); ++i) {
    if (const auto* inner = dynamic_cast<const TObjectHash*>(folder.ValueAt(i))) {
      AddTreeFiles(*inner, lengths);
    }
  }
}

std::optional<std::string> SingleFileKey(const TObjectHash& tree) {
  const bool onlyEmptyKey = tree.KeyCount() == 0 && tree.EmptyKeyValue() != nullptr;
  const bool onlyOneKey = tree.KeyCount() == 1 && tree.EmptyKeyValue() == nullptr;
  if (!onlyEmptyKey && !onlyOneKey) return std::nullopt;
  const auto* entry =
      dynamic_cast<const TObjectHash*>(onlyOneKey ? tree.ValueAt(0) : tree.EmptyKeyValue());
  if (entry == nullptr || entry->EmptyKeyValue() == nullptr) return std::nullopt;
  return onlyOneKey ? tree.KeyAt(0) : std::string();
}

void ReadInfoFacts(const TObjectHash& info, TStream& stream, TTorrentFacts& facts) {
  if (info.Exists("meta version")) facts.MetaVersion = IntegerOf(info.Items("meta version"));
  if (const auto* tree = Entry<TObjectHash>(info, "file tree")) {
    facts.HasFileTree = true;
    AddTreeFiles(*tree, facts.TreeFileLengths);
    facts.SingleTreeFile = SingleFileKey(*tree);
  }
  if (const auto* files = Entry<TObjectList>(info, "files")) {
    facts.HasFileList = true;
    facts.FileListCount = static_cast<std::int64_t>(files->Count());
  }
  facts.HasLength = info.Exists("length");
  if (info.Exists("piece length")) facts.PieceLength = IntegerOf(info.Items("piece length"));
  if (info.Exists("name.utf-8")) facts.Name = TextOf(info.Items("name.utf-8"), stream);
  if (!facts.Name && info.Exists("name")) facts.Name = TextOf(info.Items("name"), stream);
}

}  // namespace

bool TTorrentFacts::HasV2Identity() const {
  return MetaVersion && static_cast<std::int32_t>(static_cast<std::uint32_t>(*MetaVersion)) == 2;
}

bool TTorrentFacts::HasV1Identity() const {
  return !HasV2Identity() || HasFileList || HasLength;
}

TTorrentFacts ReadTorrentFacts(const TObjectHash& root, TStream& stream) {
  TTorrentFacts facts;
  if (const auto* info = Entry<TObjectHash>(root, "info")) ReadInfoFacts(*info, stream, facts);
  if (const auto* tiers = Entry<TObjectList>(root, "announce-list")) {
    for (std::size_t i = 0; i < tiers->Count(); ++i) {
      if (dynamic_cast<const TObjectList*>(tiers->Item(i)) != nullptr) {
        facts.AnnounceList.push_back(TextsOf(tiers->Item(i), stream));
      }
    }
  }
  if (root.Exists("announce")) facts.Announce = TextOf(root.Items("announce"), stream);
  if (root.Exists("url-list")) facts.UrlList = TextsOf(root.Items("url-list"), stream);
  return facts;
}

}  // namespace kelvane
