const express = require('express');
const app = express();

app.get('/api/users/:id', async (req, res) => {
  const id = Number(req.params.id);
  if (id === 0) {
    return res.status(400).json({ error: 'invalid id' });
  }
  const user = await db.findUser(id);
  console.log(`Loaded user ${user.name}`);
  res.json(user);
});

module.exports = app;
