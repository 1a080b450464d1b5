-- Neovim's built-in LSP client against kestrel-lsp with the sample unit's
-- folder as the workspace: the index's progress reaches Neovim's progress
-- table, and vim.lsp.buf.workspace_symbol() fills the quickfix list with
-- routines and bookmarks found by a few letters. Exits 0 when every check
-- holds.
local kestrel = dofile(vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':h') .. '/kestrel.lua')
local check, unit = kestrel.check, kestrel.unit

-- "kind name line container" for each symbol of a workspace-symbol answer.
local function describe(symbols)
  local out = {}
  for _, symbol in ipairs(symbols) do
    check(vim.uri_to_fname(symbol.location.uri) == unit, 'symbol in ' .. symbol.location.uri)
    table.insert(out, string.format('%d %s %d %s', symbol.kind, symbol.name,
      symbol.location.range.start.line, symbol.containerName or '-'))
  end
  return table.concat(out, ' | ')
end

local function query(client_id, text)
  local answers = vim.lsp.buf_request_sync(0, 'workspace/symbol', { query = text }, 10000)
  check(answers and answers[client_id], 'no workspace/symbol answer')
  check(answers[client_id].err == nil, 'workspace/symbol failed: ' .. vim.inspect(answers[client_id].err))
  return describe(answers[client_id].result or {})
end

local function main()
  local client_id, client = kestrel.start()

  -- The index's progress, begun and ended through Neovim's own handlers.
  local indexed = vim.wait(10000, function()
    for _, progress in pairs(client.messages.progress) do
      if progress.title == 'Indexing Pascal sources' and progress.done then
        return true
      end
    end
    return false
  end)
  check(indexed, 'no finished progress: ' .. vim.inspect(client.messages.progress))

  local routines = query(client_id, 'describe')
  check(routines == '6 Describe 17 TShape | 6 Describe 48 TShape', 'describe: ' .. routines)
  local bookmarks = query(client_id, 'bookmark')
  check(bookmarks == '20 check the format 50 TShape | 20 the registry is never freed 70 Unit1',
    'bookmark: ' .. bookmarks)
  local method = query(client_id, 'tcircle.grow')
  check(method == '6 Grow 27 TCircle | 6 Grow 63 TCircle', 'tcircle.grow: ' .. method)

  -- The command a user runs: the answers land in the quickfix list.
  vim.lsp.buf.workspace_symbol('registry')
  check(vim.wait(10000, function() return #vim.fn.getqflist() > 0 end), 'the quickfix list stayed empty')
  local items = vim.fn.getqflist()
  check(#items == 1 and items[1].lnum == 71 and items[1].text:find('the registry is never freed', 1, true),
    'quickfix: ' .. vim.inspect(items))

  kestrel.stop(client_id)
end

kestrel.run('workspace', main)
